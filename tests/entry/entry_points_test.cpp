#include <gtest/gtest.h>

#include <vector>

#include "entry/cls_other_in.h"
#include "entry/windows.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin::entry;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

struct Shown {
    QString window;
    int editMode;
    int entryKind;
};

// Records which window was created and in which state it was shown.
class RecordingWindows : public WindowFactory {
  public:
    class Window : public ModalWindow {
      public:
        Window(RecordingWindows& owner, QString name, LoginContext& ctx)
            : owner_(owner), name_(std::move(name)), ctx_(ctx) {}
        void showModal() override {
            owner_.shown.push_back({name_, ctx_.gEditMode, ctx_.gEntryKind});
        }

      private:
        RecordingWindows& owner_;
        QString name_;
        LoginContext& ctx_;
    };

    std::unique_ptr<ModalWindow> createBillEditor(LoginContext& ctx) override {
        ++created;
        return std::make_unique<Window>(*this, QStringLiteral("editor"), ctx);
    }
    std::unique_ptr<ModalWindow> createQueryDialog(LoginContext& ctx) override {
        ++created;
        return std::make_unique<Window>(*this, QStringLiteral("query"), ctx);
    }

    int created = 0;
    std::vector<Shown> shown;
};

class EntryPointsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db_.exec(QStringLiteral("insert into tblUser(fuserid,fnumber) values(2,'zhang')"));
    }
    std::unique_ptr<SettingsStore> settings() {
        return db_.settings({QStringLiteral("SystemLogin/gLoginUserId=2")});
    }

    TestDatabase db_;
    ScriptedPrompter prompter_;
    RecordingWindows windows_;
};

TEST_F(EntryPointsTest, WindowsAreCreatedOnceAndShownInTheirMode) {
    clsOtherIn component(*settings(), prompter_, windows_);
    QString newCode = QString::fromLatin1(clsOtherIn::kNewInfoCode);
    QString findCode = QString::fromLatin1(clsOtherIn::kFindInfoCode);
    QString anything = QStringLiteral("select 1");
    // A wrong code opens nothing.
    QString lower = newCode.toLower();
    EXPECT_FALSE(component.newInfo(findCode));
    EXPECT_FALSE(component.newInfo(lower));
    EXPECT_FALSE(component.findInfo(newCode));
    EXPECT_EQ(windows_.created, 0);

    component.context().gEditMode = 1;
    component.newInfo(newCode);
    component.newInfo(newCode);
    EXPECT_EQ(component.findInfo3(anything), QString());
    component.findInfo(findCode);

    ASSERT_EQ(windows_.shown.size(), 4u);
    EXPECT_EQ(windows_.created, 2);
    EXPECT_EQ(windows_.shown[0].window, QStringLiteral("editor"));
    EXPECT_EQ(windows_.shown[0].editMode, 0);
    EXPECT_EQ(windows_.shown[1].editMode, 0);
    EXPECT_EQ(windows_.shown[2].window, QStringLiteral("query"));
    EXPECT_EQ(windows_.shown[2].entryKind, 3);
    EXPECT_EQ(windows_.shown[2].editMode, 4);
    // findInfo after findInfo3: bills open in change mode again
    EXPECT_EQ(windows_.shown[3].entryKind, 0);
}

}  // namespace
