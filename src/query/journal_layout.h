#pragma once

#include <vector>

#include "query/journal_content.h"

namespace otherin::entry {
struct LoginContext;
}

namespace otherin::query {

inline constexpr int kMaxJournalColumns = 61;
inline constexpr int kFixedJournalColumns = 3;  // finterid, fentryid, fbillno

// The journal's columns as configured for the bill type and the user.
struct JournalLayout {
    std::vector<JournalColumn> columns;
    // Columns 3 to 2 + billLevelColumns are filled on a bill's first line only.
    int billLevelColumns = 0;
};

// Reads tblFindInfoEntry and, for a user who is not an administrator, the
// user's hidden journal fields of tblEntryVisible, on the open connection.
// Raises db::DbError.
JournalLayout loadJournalLayout(entry::LoginContext& ctx);

}  // namespace otherin::query
