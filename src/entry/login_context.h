#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

#include "db/connection.h"

namespace otherin::db {
class BillWatch;
}

namespace otherin::entry {

// The record filled by the last successful item or unit look-up; the editor
// copies the bill's values from it.
struct LookupRecord {
    QString name;
    QString code;
    QString id;
    QString unitFactor;
    QString model;
    QString unitId;
    QString unitName;
    QString unitCode;
    QString purchasePrice;
    QString salesPrice;
    QString itemUnitFactor;
    QString unitGroup;
    QString defaultWarehouse;
};

// One per component instance, passed by reference to whatever needs it. The
// field names are the ones the whole module documents and speaks of.
struct LoginContext {
    // Filled at start-up. From the settings store, except: the user
    // (gLoginUserId, gLoginUserName, IsAdmin, UserType) comes from the login
    // session and tblUser, and the switches gIsCloseStock, gIsAddDelNumber,
    // gIsCheckUpdate and gUpdateSingleBill from tblSystemSwitch, shared by
    // every user of the database.
    QString msgTitle;
    QString DBConnectionString;
    QString gLoginUserId;
    QString gLoginUserName;
    int gCurrentYear = 0;
    int gCurrentPeriod = 0;
    int gBillLength = 0;
    int gIsCloseStock = 0;
    int gIsUpdateBillNo = 0;
    int IsAdmin = 0;
    QString gSeekItem;
    bool gIsShowTip = false;
    QString gAppPath;
    int gIsAddDelNumber = 0;
    int gIsCheckUpdate = 0;
    int gUpdateSingleBill = 0;
    int UserType = 0;

    // Constants of this module, set at start-up.
    QString gBillName;
    int gBillTypeId = 0;
    QString gViewName;
    QString gRightPrefix;
    QString gItemClassList;

    // Read from the database at start-up.
    QString gPeriodStartDate;

    // Run-time state the windows hand to each other.
    db::Connection gConnection;
    int gEditMode = 0;
    int gEntryKind = 0;
    int gFromJournal = 0;
    int gIsRedBill = 0;
    qint32 gCurrentInterId = 0;
    QStringList gBillIdList;
    int gBillIdIndex = 0;
    QString gIdList;
    int gJournalRow = 0;
    int gJournalTopRow = 0;
    QString gIniFile;
    // The settings file the component was started with: the windows keep
    // their options (and the editor its recovery copy) in the same one.
    QString settingsFile;
    int gLoadingBill = 0;
    // The version of each bill as the windows last read it (bill id ->
    // fversion): the journal's commands and the editor's saves write only
    // over bills still at that version.
    QHash<qint32, int> gBillVersions;
    // Hears the other programs' writes to bills for the windows; made by
    // watchBills() on first use.
    std::shared_ptr<db::BillWatch> billWatch;

    LookupRecord lookup;
    // Exchange with the batch picker.
    QString batchItemId;
    QString pickedBatch;
    QString pickedUnitCost;
};

// Opens the context's connection unless it is open already. Always answers
// true; a failure to open raises db::DbError.
bool openConnection(LoginContext& ctx);
// The context's watch on the other programs' writes, started on first use
// with the context's connection string.
db::BillWatch& watchBills(LoginContext& ctx);
void closeConnection(LoginContext& ctx);

// Closes the context's connection when the scope ends, whatever happens.
class ConnectionScope {
  public:
    explicit ConnectionScope(LoginContext& ctx) : ctx_(ctx) { openConnection(ctx_); }
    ~ConnectionScope() { closeConnection(ctx_); }
    ConnectionScope(const ConnectionScope&) = delete;
    ConnectionScope& operator=(const ConnectionScope&) = delete;

  private:
    LoginContext& ctx_;
};

}  // namespace otherin::entry
