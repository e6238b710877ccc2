#pragma once

#include <QString>
#include <stdexcept>

namespace otherin::entry {

struct LoginContext;
class SettingsStore;
class Prompter;

// A stored setting that does not convert to its type. It is not caught by the
// start-up: creating the component fails with it.
class SettingsError : public std::runtime_error {
  public:
    explicit SettingsError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

  private:
    QString message_;
};

// A start-up that cannot tell who logged in: no login token in the settings,
// one the database does not know or one that has expired. Creating the
// component fails with it, as with a setting that does not convert.
class LoginError : public SettingsError {
  public:
    using SettingsError::SettingsError;
};

// Fills the context from the settings store and the database. Errors up to
// knowing the user and the shared switches propagate (SettingsError,
// LoginError, db::DbError): a missing database file, a connection that does
// not open, a login that does not check out. Database errors after that are
// reported through the prompter and end the start-up normally with the
// fields read so far.
void startUp(LoginContext& ctx, const SettingsStore& settings, Prompter& prompter);

// The module's own constants (bill type 7, its view, its right prefix, its
// item classes) and the run-time state a fresh component starts from.
void setConstants(LoginContext& ctx);

namespace constants {
inline constexpr int kBillTypeId = 7;
inline const char* const kBillName = "其它入库单";
inline const char* const kViewName = "vGOtherIn";
inline const char* const kRightPrefix = "G";
inline const char* const kItemClassList = ",G01,G02,G03,";
}  // namespace constants

}  // namespace otherin::entry
