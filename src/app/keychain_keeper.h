#pragma once

#include "app/password_keeper.h"

namespace otherin::app {

// The desktop's keyring (the Secret Service or KWallet), through QtKeychain,
// its insecure plain-text fallback off: without a running keyring nothing is
// kept and whyUnavailable() says so. Each call waits for the keyring's answer.
class KeychainKeeper : public PasswordKeeper {
  public:
    QString whyUnavailable() override;
    std::optional<QString> read(const QString& key) override;
    bool store(const QString& key, const QString& password) override;
    void forget(const QString& key) override;

  private:
    std::optional<QString> whyNot_;  // asked once
};

}  // namespace otherin::app
