#pragma once

#include <memory>

namespace otherin::entry {

struct LoginContext;

// A window the component shows modally; showing it again reloads what it shows.
class ModalWindow {
  public:
    virtual ~ModalWindow() = default;
    virtual void showModal() = 0;
};

// Creates the component's windows. The Qt layer provides the real one; the
// core never includes a widget.
class WindowFactory {
  public:
    virtual ~WindowFactory() = default;
    virtual std::unique_ptr<ModalWindow> createBillEditor(LoginContext& ctx) = 0;
    virtual std::unique_ptr<ModalWindow> createQueryDialog(LoginContext& ctx) = 0;
};

}  // namespace otherin::entry
