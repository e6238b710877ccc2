// Where a benchmark keeps its data: a SQLite file in a temporary folder, or,
// when the run names a server (`--db postgresql://…` or OTHERIN_TEST_DB), a
// new database on that server, dropped again at the end. Floors and
// measurements of one run are taken on the same database, so their ratios
// compare like with like on either backend.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace otherin::bench {

class BenchDatabase {
  public:
    // `name` tells the databases of one run apart; `arguments` are the
    // program's, searched for `--db URL`.
    BenchDatabase(const QString& name, const QStringList& arguments);
    ~BenchDatabase();
    BenchDatabase(const BenchDatabase&) = delete;
    BenchDatabase& operator=(const BenchDatabase&) = delete;

    QString connectionString() const { return connectionString_; }
    bool onServer() const { return !serverDatabase_.isEmpty(); }
    // "SQLite" or "PostgreSQL at …", printed at the head of each run.
    QString backend() const;

  private:
    QTemporaryDir dir_;
    QString server_;  // the connection string of the server's admin database
    QString serverDatabase_;
    QString connectionString_;
};

}  // namespace otherin::bench
