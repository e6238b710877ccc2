#include "entry/prompter.h"

namespace otherin::entry {

namespace {
class NoProgress : public Progress {
  public:
    bool advance(int) override { return true; }
};
}  // namespace

std::optional<int> Prompter::choose(const QString&, const QStringList&, Icon, const QString&) {
    return std::nullopt;
}

std::unique_ptr<Progress> Prompter::progress(const QString&, int) {
    return std::make_unique<NoProgress>();
}

}  // namespace otherin::entry
