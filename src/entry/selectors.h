#pragma once

#include <QString>

namespace otherin::entry {

struct LoginContext;

// What a selector answers: the chosen record's key (id), code and name. An
// empty key means nothing was chosen; the record selector's key "-1" means
// several items were chosen and written into the user's tblItemInput rows.
struct SelectorAnswer {
    QString key;
    QString code;
    QString name;
    bool chosen() const { return !key.isEmpty(); }
    bool manyItems() const { return key == QStringLiteral("-1"); }
};

// Inputs of the record selector (items and other base data).
struct RecordSelectorInput {
    QString accessCode;        // "Z47QRT!&%MN"
    QString itemClassList;     // ctx.gItemClassList
    QString connectionString;  // ctx.DBConnectionString
    QString seekItem;          // ctx.gSeekItem
    QString typed;             // the text typed so far
    QString itemClass;         // header fields and query values: the field's item class
    QString userId;            // whose tblItemInput rows a multi-choice fills
};

struct SecondSelectorInput {
    QString accessCode;  // "B+[&!@WXYZH"
    QString itemClassList;
    QString connectionString;
    QString itemClass;
};

struct UnitSelectorInput {
    QString accessCode;  // "MN[]#QRST"
    QString itemClassList;
    QString connectionString;
    int unitGroup = 0;
};

inline constexpr const char* kRecordSelectorCode = "Z47QRT!&%MN";
inline constexpr const char* kSecondSelectorCode = "B+[&!@WXYZH";
inline constexpr const char* kUnitSelectorCode = "MN[]#QRST";

// The selection dialogs of the suite as the module uses them. The Qt layer
// provides real dialogs over the base data; tests provide fakes.
class RecordSelector {
  public:
    virtual ~RecordSelector() = default;
    virtual SelectorAnswer choose(const RecordSelectorInput& input) = 0;
};

class SecondRecordSelector {
  public:
    virtual ~SecondRecordSelector() = default;
    virtual SelectorAnswer choose(const SecondSelectorInput& input) = 0;
};

class UnitSelector {
  public:
    virtual ~UnitSelector() = default;
    virtual SelectorAnswer choose(const UnitSelectorInput& input) = 0;
};

// Shows current stock in a window of its own for a condition over
// fItemNumber and fStockNumber.
class StockQueryViewer {
  public:
    virtual ~StockQueryViewer() = default;
    virtual void show(const QString& condition, int kind) = 0;
};

// Shows the change history of a stored bill ("修改记录"), read-only.
class HistoryViewer {
  public:
    virtual ~HistoryViewer() = default;
    virtual void show(qint64 interId) = 0;
};

// Lists the batches on hand of ctx.batchItemId; a pick sets ctx.pickedBatch
// and ctx.pickedUnitCost (both empty when nothing was picked).
class BatchPicker {
  public:
    virtual ~BatchPicker() = default;
    virtual void pick(LoginContext& ctx) = 0;
};

// The set handed to the windows that use selectors.
struct Selectors {
    RecordSelector* record = nullptr;
    SecondRecordSelector* second = nullptr;
    UnitSelector* unit = nullptr;
    StockQueryViewer* stockQuery = nullptr;
    BatchPicker* batchPicker = nullptr;
    HistoryViewer* history = nullptr;
};

}  // namespace otherin::entry
