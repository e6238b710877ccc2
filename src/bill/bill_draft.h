#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace otherin::bill {

// A text as stored: an empty text is stored empty, never as NULL.
inline QVariant textValue(const QString& text) {
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

// A bill as a save writes it, taken from the editor's form once, after the
// editor's own checks: every value already in its stored form (look-ups as
// their keys, numbers negated on red bills where the layout says so, texts
// trimmed, dates as ISO text).
struct DraftLine {
    // The line's stored fentryid; 0 for a line added since the bill was loaded.
    qint32 entryId = 0;
    // One value per BillDraft::lineColumns.
    QVariantList values;
    // What the price edit writes to the stored line.
    QVariant price;
    QVariant amount;
};

struct BillDraft {
    qint32 interId = 0;  // the stored bill; 0 for a new one
    int version = 0;     // the version the bill had when it was loaded
    QString billNo;      // the number field's text
    QDate date;
    bool red = false;
    // The header columns the layout writes, with their values.
    std::vector<std::pair<QString, QVariant>> header;
    QStringList lineColumns;
    std::vector<DraftLine> lines;
};

}  // namespace otherin::bill
