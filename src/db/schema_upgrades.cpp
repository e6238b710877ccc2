#include "db/schema_upgrades.h"

#include "db/connection.h"
#include "db/upgrade_audit_stamp.h"
#include "db/upgrade_bill_history.h"
#include "db/upgrade_bill_number_index.h"
#include "db/upgrade_bill_print.h"
#include "db/upgrade_bill_rules.h"
#include "db/upgrade_bill_versions.h"
#include "db/upgrade_bill_watch.h"
#include "db/upgrade_bill_writer.h"
#include "db/upgrade_journal_index.h"
#include "db/upgrade_last_number.h"
#include "db/upgrade_login_sessions.h"
#include "db/upgrade_numbering.h"
#include "db/upgrade_own_rows.h"
#include "db/upgrade_server_roles.h"
#include "db/upgrade_stock_posting.h"
#include "db/upgrade_user_roles.h"

namespace otherin::db::schema {

const std::vector<Upgrade>& upgrades() {
    static const std::vector<Upgrade> steps = {
        {2, &addBillNumberIndex},  {3, &upgradeLoginSessions},   {4, &addBillTypeIndex},
        {5, &addBillVersions},     {6, &addBillWatch},           {7, &upgradeBillPrint},
        {8, &addServerRolesTable}, {9, &addUserRoleNames},       {10, &addBillWriterTrigger},
        {11, &addOwnRowRules},     {12, &addNumberingFunctions}, {13, &addStockPosting},
        {14, &addChangeHistory},   {15, &addBillRules},          {16, &speedUpPosting},
        {17, &addLastNumbering},   {18, &stampAudits},           {19, &addBillFinish},
    };
    return steps;
}

}  // namespace otherin::db::schema
