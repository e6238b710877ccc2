#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QVariantList>

#include "entry/selectors.h"
#include "entry/ui/search_list_dialog.h"

namespace otherin::entry {

class Prompter;

struct SelectorRecord {
    QString key;
    QString code;
    QString name;
    QString model;
};

// The records a selector offers, narrowed by the search text: a record is
// shown when its code or name (or, for items sought by model, its model)
// contains the text, ignoring case.
class SelectorRecordModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit SelectorRecordModel(bool withModel, QObject* parent = nullptr);

    void setRecords(QList<SelectorRecord> records);
    void setFilter(const QString& text);
    void setSeekModel(bool seekModel);
    const SelectorRecord& recordAt(int row) const { return records_.at(shown_.at(row)); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    bool matches(const SelectorRecord& record) const;
    void refilter();

    bool withModel_;
    bool seekModel_ = false;
    QList<SelectorRecord> records_;
    QList<int> shown_;
    QString filter_;
};

// What the three selector dialogs share: a list loaded through a connection
// of their own, and an answer taken from the chosen rows on accept. The answer
// stays empty when the dialog is closed without a choice.
class SelectorDialog : public entry::SearchListDialog {
    Q_OBJECT
  public:
    SelectorAnswer answer() const { return answer_; }
    SelectorRecordModel& model() { return model_; }
    // Takes the selected rows, or the current row when none is selected.
    void accept() override;

  protected:
    SelectorDialog(const QString& title, bool withModel, Prompter& prompter,
                   const QString& msgTitle, QWidget* parent);

    // Reads fitemid, fNumber, fname (and fmodel for items); a failure is
    // shown with the critical icon and answers false.
    bool loadRecords(const QString& connectionString, const QString& sql,
                     const QVariantList& values);
    virtual SelectorAnswer answerFor(const QList<SelectorRecord>& chosen);
    void reportFailure(const QString& text);

    void searchChanged(const QString& text) override { model_.setFilter(text); }
    void rowActivated(int row) override;

  private:
    Prompter& prompter_;
    QString msgTitle_;
    bool withModel_;
    SelectorRecordModel model_;
    SelectorAnswer answer_;
};

// Items (class 3, or no class given) or the unlocked leaves of another class.
// With `allowMany` several items may be chosen: they are written into the
// user's tblItemInput rows and the answer is "-1".
class RecordSelectorDialog : public SelectorDialog {
    Q_OBJECT
  public:
    RecordSelectorDialog(const RecordSelectorInput& input, bool allowMany, Prompter& prompter,
                         const QString& msgTitle, QWidget* parent = nullptr);
    bool load();

  protected:
    SelectorAnswer answerFor(const QList<SelectorRecord>& chosen) override;

  private:
    bool listsItems() const;
    void writeItemInput(const QList<SelectorRecord>& chosen);

    RecordSelectorInput input_;
    bool allowMany_;
};

// The units of one unit group.
class UnitSelectorDialog : public SelectorDialog {
    Q_OBJECT
  public:
    UnitSelectorDialog(const UnitSelectorInput& input, Prompter& prompter, const QString& msgTitle,
                       QWidget* parent = nullptr);
    bool load();

  private:
    UnitSelectorInput input_;
};

// What every selector port keeps to show its dialog. Database failures are
// told through the prompter under `msgTitle`.
struct SelectorHost {
    SelectorHost(Prompter& prompter, QString msgTitle, QWidget* parent)
        : prompter(prompter), msgTitle(std::move(msgTitle)), parent(parent) {}
    Prompter& prompter;
    QString msgTitle;
    QPointer<QWidget> parent;
};

// The ports of the editor and the query dialog.
class QtRecordSelector : public RecordSelector {
  public:
    QtRecordSelector(Prompter& prompter, QString msgTitle, QWidget* parent = nullptr)
        : host_(prompter, std::move(msgTitle), parent) {}
    SelectorAnswer choose(const RecordSelectorInput& input) override;

  private:
    SelectorHost host_;
};

class QtSecondRecordSelector : public SecondRecordSelector {
  public:
    QtSecondRecordSelector(Prompter& prompter, QString msgTitle, QWidget* parent = nullptr)
        : host_(prompter, std::move(msgTitle), parent) {}
    SelectorAnswer choose(const SecondSelectorInput& input) override;

  private:
    SelectorHost host_;
};

class QtUnitSelector : public UnitSelector {
  public:
    QtUnitSelector(Prompter& prompter, QString msgTitle, QWidget* parent = nullptr)
        : host_(prompter, std::move(msgTitle), parent) {}
    SelectorAnswer choose(const UnitSelectorInput& input) override;

  private:
    SelectorHost host_;
};

}  // namespace otherin::entry
