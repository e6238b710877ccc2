#include "app/keychain_keeper.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>

namespace otherin::app {

namespace {

const QString kService = QStringLiteral("otherin");

// Runs `job` to its end and answers its error.
QKeychain::Error finish(QKeychain::Job& job) {
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    return job.error();
}

}  // namespace

QString KeychainKeeper::whyUnavailable() {
    if (whyNot_) return *whyNot_;
    QKeychain::ReadPasswordJob probe(kService);
    probe.setKey(QStringLiteral("otherin-keyring-probe"));
    const QKeychain::Error error = finish(probe);
    if (error == QKeychain::NoError || error == QKeychain::EntryNotFound)
        whyNot_ = QString();
    else
        whyNot_ = QStringLiteral("没有可用的密钥环（桌面的密码保管服务未运行），不能记住密码。");
    return *whyNot_;
}

std::optional<QString> KeychainKeeper::read(const QString& key) {
    if (!whyUnavailable().isEmpty()) return std::nullopt;
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(key);
    if (finish(job) != QKeychain::NoError) return std::nullopt;
    return job.textData();
}

bool KeychainKeeper::store(const QString& key, const QString& password) {
    if (!whyUnavailable().isEmpty()) return false;
    QKeychain::WritePasswordJob job(kService);
    job.setKey(key);
    job.setTextData(password);
    return finish(job) == QKeychain::NoError;
}

void KeychainKeeper::forget(const QString& key) {
    if (!whyUnavailable().isEmpty()) return;
    QKeychain::DeletePasswordJob job(kService);
    job.setKey(key);
    finish(job);
}

}  // namespace otherin::app
