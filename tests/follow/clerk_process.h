#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>

namespace otherin::testing {

// A clerk at another workstation (clerk_worker.cpp): each command waits for
// the worker's one-line answer, which it returns.
class ClerkProcess {
  public:
    explicit ClerkProcess(const QString& connectionString, const QString& settingsFile = {}) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList args{QStringLiteral("--db"), connectionString};
        if (!settingsFile.isEmpty()) args << QStringLiteral("--settings") << settingsFile;
        process_.start(QStringLiteral(CLERK_WORKER), args);
        EXPECT_EQ(answer(), QStringLiteral("ready"));
    }
    ~ClerkProcess() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(10000)) process_.kill();
    }
    ClerkProcess(const ClerkProcess&) = delete;
    ClerkProcess& operator=(const ClerkProcess&) = delete;

    QString run(const QString& command) {
        process_.write((command + QLatin1Char('\n')).toUtf8());
        process_.waitForBytesWritten();
        return answer();
    }
    // The id of a new bill the clerk saved; 0 when refused.
    qint32 save() {
        const QString said = run(QStringLiteral("save"));
        EXPECT_TRUE(said.startsWith(QLatin1String("saved "))) << said.toStdString();
        return said.section(QLatin1Char(' '), 1).toInt();
    }
    // `count` copies of a command sent at once; the answers are awaited with
    // the event loop running, so the test's windows go on meanwhile.
    QStringList runMany(const QString& command, int count) {
        QByteArray all;
        for (int i = 0; i < count; ++i) all += (command + QLatin1Char('\n')).toUtf8();
        process_.write(all);
        QStringList answers;
        QElapsedTimer timer;
        timer.start();
        while (answers.size() < count && timer.elapsed() < 120000) {
            while (process_.canReadLine())
                answers << QString::fromUtf8(process_.readLine()).trimmed();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            process_.waitForReadyRead(5);
        }
        return answers;
    }
    // Ends the program as a crash would: nothing of it is cleaned up.
    void kill() {
        process_.kill();
        process_.waitForFinished();
    }

  private:
    QString answer() {
        while (!process_.canReadLine()) {
            if (!process_.waitForReadyRead(30000)) return QStringLiteral("(no answer)");
        }
        return QString::fromUtf8(process_.readLine()).trimmed();
    }
    QProcess process_;
};

}  // namespace otherin::testing
