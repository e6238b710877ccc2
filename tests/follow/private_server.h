#pragma once

#include <QProcess>
#include <QTemporaryDir>

namespace otherin::testing {

// A PostgreSQL server of the test's own (scripts/lib/pg-server.sh), so the
// test may restart it without disturbing the others. Not `started()` where
// the server programs are missing.
class PrivateServer {
  public:
    PrivateServer() {
        const QString port = shell(QStringLiteral("p=$(pg_free_port) && pg_start \"$DIR\" \"$p\" "
                                                  "throwaway >&2 && echo \"$p\""));
        if (!port.isEmpty()) {
            url_ = QStringLiteral("postgresql://postgres@/postgres?host=%1&port=%2")
                       .arg(dir_.path(), port);
        }
    }
    ~PrivateServer() {
        if (started()) shell(QStringLiteral("pg_stop \"$DIR\""));
    }
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    bool started() const { return !url_.isEmpty(); }
    const QString& url() const { return url_; }
    // Stops the server as a shutdown would (every connection is ended) and
    // starts it again; true when it runs again.
    bool restart() {
        return shell(QStringLiteral("pg_as_owner \"$(pg_bin_dir)/pg_ctl\" -D \"$DIR/data\" -w -m "
                                    "fast restart >&2 && echo ok")) == QLatin1String("ok");
    }

  private:
    // Runs `script` after the server functions are read; answers its output.
    QString shell(const QString& script) {
        QProcess bash;
        QStringList env = QProcess::systemEnvironment();
        env << QStringLiteral("DIR=") + dir_.path();
        bash.setEnvironment(env);
        bash.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        bash.start(QStringLiteral("bash"),
                   {QStringLiteral("-c"),
                    QStringLiteral("source '%1/scripts/lib/pg-server.sh' && %2")
                        .arg(QStringLiteral(SOURCE_DIR), script)});
        bash.waitForFinished(120000);
        return QString::fromUtf8(bash.readAllStandardOutput()).trimmed();
    }

    QTemporaryDir dir_;
    QString url_;
};

}  // namespace otherin::testing
