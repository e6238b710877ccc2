// What the editor's benchmarks share: a demo database in a temporary folder
// with a login context over it, stored bills of any length, a prompter that
// records what the editor says, and the arithmetic of rounds.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <memory>
#include <vector>

#include "entry/login_context.h"
#include "entry/prompter.h"
#include "entry/selectors.h"
#include "entry/settings_store.h"

namespace otherin::editor {
class BillSession;
}

namespace otherin::bench {

// Line r of the benches' bills: items 02.001 to 02.015 of warehouse 02 (ids
// 1121 to 1135), quantities 1 to 7 at 1.25, three batches, a note.
struct Line {
    int item;
    int qty;
    double price;
    double amount;
    QString batch;
    QString note;
};
Line lineAt(int r);

// The grid and header of a new bill as a clerk leaves them after typing
// `lines` such lines into warehouse 02 on 2026-03-15, look-ups filled in.
void fillBill(editor::BillSession& session, int lines);

// Records every message and answers every question with No. Speaking to the
// user while a write transaction is open is counted as a fault of the run.
class RecordingPrompter : public entry::Prompter {
  public:
    explicit RecordingPrompter(const db::Connection& watched) : watched_(watched) {}

    void message(const QString& text, entry::Icon icon, const QString& title) override;
    entry::Answer question(const QString& text, entry::Buttons buttons, entry::Icon icon,
                           const QString& title) override;
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> saveFileName(const QString&, const QString&) override {
        return std::nullopt;
    }

    QStringList texts;          // messages and questions, in order
    int insideTransaction = 0;  // dialogue while a transaction was open

  private:
    void note(const QString& text);
    const db::Connection& watched_;
};

// The editor of bill type 7 on a fresh demo database, for an administrator.
// Items 02.001 to 02.015 (ids 1121 to 1135) belong to warehouse 02 (id 502),
// the header warehouse of every bill made here.
class EditorBench {
  public:
    // On a demo database made in `connectionString`, by default a new file.
    explicit EditorBench(const QString& connectionString = {});

    entry::LoginContext ctx;
    RecordingPrompter prompter{ctx.gConnection};
    entry::Selectors selectors;  // none: the benchmarks never open a selector
    std::unique_ptr<entry::SettingsStore> settings;

    // Writes bill `id` of `lines` lines straight into the tables, as a
    // stored bill the editor opens: line n holds item 1121 + n % 15 with
    // quantity n % 7 + 1 and price 1.25.
    void storeBill(qint32 id, int lines);
    QVariant scalar(const QString& sql, const QVariantList& values = {});

  private:
    QTemporaryDir dir_;
};

// Milliseconds of wall time.
using Clock = std::chrono::steady_clock;
double millisSince(Clock::time_point start);

// Median, minimum and maximum of the rounds.
struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
};
Spread spread(std::vector<double> rounds);

// "name  floor 1.23 ms (1.20–1.40)  measured 2.34 ms (...)  ratio 1.90x"; the
// ratio is that of the medians. The ratio is left out in quick runs, whose
// times say nothing.
void printRatio(const QString& name, const Spread& floor, const Spread& measured, bool quick,
                const char* unit = "ms");

}  // namespace otherin::bench
