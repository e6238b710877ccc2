#pragma once

#include "entry/windows.h"

namespace otherin::entry {
class Prompter;
}

namespace otherin::app {

using entry::LoginContext;
using entry::ModalWindow;
using entry::Prompter;
using entry::WindowFactory;

// Creates the real Qt windows of the component.
class QtWindowFactory : public WindowFactory {
  public:
    explicit QtWindowFactory(Prompter& prompter) : prompter_(prompter) {}
    std::unique_ptr<ModalWindow> createBillEditor(LoginContext& ctx) override;
    std::unique_ptr<ModalWindow> createQueryDialog(LoginContext& ctx) override;

  private:
    Prompter& prompter_;
};

}  // namespace otherin::app
