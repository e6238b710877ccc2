#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <functional>
#include <memory>
#include <vector>

namespace otherin::testing {

// Starts `count` copies of `program` (the k-th with `args(k)`) and releases them together.
inline std::vector<std::unique_ptr<QProcess>> releaseTogether(
    const QString& program, int count, const std::function<QStringList(int)>& args) {
    std::vector<std::unique_ptr<QProcess>> workers;
    for (int k = 0; k < count; ++k) {
        workers.push_back(std::make_unique<QProcess>());
        workers.back()->start(program, args(k));
    }
    for (auto& p : workers) EXPECT_TRUE(p->waitForStarted()) << p->errorString().toStdString();
    for (auto& p : workers) {
        p->write("go\n");
        p->waitForBytesWritten();  // now, not when its turn to be waited for comes
        p->closeWriteChannel();
    }
    return workers;
}

// Runs them as above and answers what each printed, or "failed: " and its errors when it did
// not exit with 0.
inline QStringList runTogether(const QString& program, int count,
                               const std::function<QStringList(int)>& args) {
    QStringList answers;
    for (auto& p : releaseTogether(program, count, args)) {
        const bool ok = p->waitForFinished(100000) && p->exitStatus() == QProcess::NormalExit &&
                        p->exitCode() == 0;
        answers << (ok ? QString::fromUtf8(p->readAllStandardOutput()).trimmed()
                       : QStringLiteral("failed: ") +
                             QString::fromUtf8(p->readAllStandardError()).trimmed());
    }
    return answers;
}

}  // namespace otherin::testing
