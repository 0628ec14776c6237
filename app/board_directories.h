#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace zp {

struct AppState;

// The location names of each board type, in index order (the editors' location lists).
QStringList LocationNames(int hackType);

// The location index stored in PrimaryDir or Location. A Null (or non-numeric) value reads as -1, a
// location outside every list, so that it means the same to the installation, the analysis and
// the text export.
int LocationIndex(const QVariant& stored);

// The folders of one board type's locations, in index order, as the configuration names them. A
// job builds its hack's own; the windows work with the hack list's (CurrentLayout).
struct BoardLayout
{
    int hackType = -1; // 0 = UBB, 1 = vBulletin; any other has no locations
    QStringList directories;
};

// The layout of `hackType` from the ConfigRecordset row; every location is the root itself when
// there is no row.
BoardLayout LayoutOf(const AppState& state, int hackType);
// CurrentHackType and its DirectoryTable.
BoardLayout CurrentLayout(const AppState& state);

// Rebuilds state.DirectoryTable for state.CurrentHackType from the ConfigRecordset row; another type
// leaves it as it was.
void LoadDirectoryTable(AppState& state);

// Relative directory of a mod (PrimaryDir, ExtendDir), '/'-separated, no leading or trailing '/'.
QString ResolveModDirectory(const BoardLayout& layout, int primaryDir, const QVariant& extendDir);
// Relative directory of a support file as the installer uses it (may begin or end with '/').
QString ResolveSupportFileDirectory(const BoardLayout& layout, int location, const QVariant& customDir);
// Relative directory of a support file as the text export writes and shows it: the folder the
// installer writes it into, without empty elements or a leading or trailing '/'.
QString ResolveTextExportDirectory(const BoardLayout& layout, int location, const QVariant& customDir);

// Joins a relative directory (separators '/' or '\') to a root: root + "/" + its elements, empty
// and "." elements dropped. A leading separator (the support-file directory of an unconfigured
// location, "/sub") stays below the root, as plain concatenation always kept it. Returns nothing
// when the result would leave the root: a ".." element.
std::optional<QString> JoinInsideRoot(const QString& root, const QString& relative);

} // namespace zp
