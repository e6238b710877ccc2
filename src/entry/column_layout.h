#pragma once

#include <QList>
#include <QString>

namespace otherin::entry {

struct LoginContext;
class Prompter;

// Stored column widths of a grid in t_QV_tableinfo, one row per column. Type 1
// holds the widths the user left the grid with, type 0 the designed defaults.
inline constexpr int kUserLayout = 1;
inline constexpr int kDefaultLayout = 0;

// Replaces the stored layout (name, type) by `widths`, column 0 first. A
// failure is told in a plain box and leaves the layout stored before.
bool saveColumnLayout(LoginContext& ctx, Prompter& prompter, const QString& name,
                      const QList<int>& widths, int type);

// Applies the stored layout (name, type) to `widths` and answers true. With
// none stored it keeps `widths`, stores them as the type-0 defaults (whatever
// type was asked for) and answers false. Stored columns beyond widths.size()
// are ignored; columns without a stored row keep their width.
bool restoreColumnLayout(LoginContext& ctx, Prompter& prompter, const QString& name,
                         QList<int>& widths, int type);

}  // namespace otherin::entry
