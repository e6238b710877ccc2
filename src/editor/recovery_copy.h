#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <optional>

namespace otherin::editor {

class BillForm;

// What a clerk typed into a new bill that is not saved yet, kept in a file of
// the user's own (mode 0600, beside the user's settings, not in the database:
// writes there would wake every other clerk's journal), so a crash, a kill or
// a power cut loses nothing typed. One copy per user and bill type.
class RecoveryCopy {
  public:
    struct Found {
        QDateTime savedAt;  // local time
        int lines = 0;
        QJsonObject bill;
    };

    explicit RecoveryCopy(QString path) : path_(std::move(path)) {}
    // `<folder of the settings file>/recovery/<bill type>-<user>.json`.
    static QString pathFor(const QString& settingsFile, int billType, const QString& userId);

    // Replaces the copy with what the form holds (header fields and every
    // filled cell), put on disk before it takes the old one's place; false
    // when it could not be written.
    bool write(const BillForm& form, bool red) const;
    // None when there is no copy or it cannot be read.
    std::optional<Found> read() const;
    // Puts a copy's header and lines into the form (of the same layout);
    // answers whether the bill was red.
    static bool restore(const Found& copy, BillForm& form);
    void discard() const;
    const QString& path() const { return path_; }

  private:
    QString path_;
};

// "发现未保存的单据（10:21，5 行），是否恢复？"
QString recoveryQuestion(const RecoveryCopy::Found& copy);

}  // namespace otherin::editor
