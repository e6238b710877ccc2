#pragma once

#include <QString>
#include <optional>

namespace otherin::app {

// Where a clerk's server password may be kept between starts, at their
// asking ("记住密码"): the desktop's keyring, never a file of the module's.
class PasswordKeeper {
  public:
    virtual ~PasswordKeeper() = default;
    // Why no password can be kept here; empty when one can.
    virtual QString whyUnavailable() = 0;
    // The password kept under `key`; none when there is none or no keyring.
    virtual std::optional<QString> read(const QString& key) = 0;
    // Keeps `password` under `key`; answers false when the keyring refused.
    virtual bool store(const QString& key, const QString& password) = 0;
    virtual void forget(const QString& key) = 0;
};

}  // namespace otherin::app
