#pragma once

#include <QString>
#include <vector>

namespace otherin::db {
class Connection;
}
namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::query {

class ConditionGrid;
class SortGrid;

struct QueryScheme {
    int id = 0;
    QString name;
    // The list key of the scheme: "A" and its id.
    QString key() const { return QStringLiteral("A") + QString::number(id); }
};

// Named copies of the condition and sort grids, shared by all users of the
// bill type. Every operation opens and closes the context's connection and
// tells a database failure in a plain box, answering false.
class QuerySchemes {
  public:
    QuerySchemes(entry::LoginContext& ctx, entry::Prompter& prompter);

    // Reads the list, default scheme first, creating "默认方案" when the bill
    // type has no scheme yet.
    bool loadList();
    const std::vector<QueryScheme>& list() const { return list_; }
    int defaultId() const { return defaultId_; }

    // Fills the grids from the scheme's stored rows.
    bool load(int id, ConditionGrid& conditions, SortGrid& sort);
    // Asks for a name and stores the grids as a new scheme; reloads the list.
    // The default scheme's name is refused, and so is a control character in
    // a condition's value (before the name is asked) or in the name.
    bool saveAs(const ConditionGrid& conditions, const SortGrid& sort);
    // Deletes the scheme after asking; the default scheme is refused.
    bool remove(int id);
    // Empties the conditions and the sort fields (sort directions stay).
    static void clear(ConditionGrid& conditions, SortGrid& sort);

  private:
    void fail(const QString& text);
    const QueryScheme* find(int id) const;

    entry::LoginContext& ctx_;
    entry::Prompter& prompter_;
    std::vector<QueryScheme> list_;
    int defaultId_ = 0;
};

// Advances the scheme counter and answers the new id. The increment comes
// before the read, inside one transaction, so two users never get one id.
int nextSchemeId(db::Connection& connection);

}  // namespace otherin::query
