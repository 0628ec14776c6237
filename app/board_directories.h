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

// Rebuilds state.DirectoryTable for state.CurrentHackType from the ConfigRecordset row.
void LoadDirectoryTable(AppState& state);

// The current hack type and its directory table for a while (a job's hack, an authoring check); as
// they were afterwards.
class HackTypeScope
{
public:
    HackTypeScope(AppState& state, int hackType);
    ~HackTypeScope();
    HackTypeScope(const HackTypeScope&) = delete;
    HackTypeScope& operator=(const HackTypeScope&) = delete;

private:
    AppState& state_;
    qint16 type_;
    QStringList table_;
};

// Relative directory of a mod (PrimaryDir, ExtendDir), '/'-separated, no leading or trailing '/'.
QString ResolveModDirectory(const AppState& state, int primaryDir, const QVariant& extendDir);
// Relative directory of a support file as the installer uses it (may begin or end with '/').
QString ResolveSupportFileDirectory(const AppState& state, int location, const QVariant& customDir);
// Relative directory of a support file as the text export writes and shows it: the folder the
// installer writes it into, without empty elements or a leading or trailing '/'.
QString ResolveTextExportDirectory(const AppState& state, int location, const QVariant& customDir);

// Joins a relative directory (separators '/' or '\') to a root: root + "/" + its elements, empty
// and "." elements dropped. A leading separator (the support-file directory of an unconfigured
// location, "/sub") stays below the root, as plain concatenation always kept it. Returns nothing
// when the result would leave the root: a ".." element.
std::optional<QString> JoinInsideRoot(const QString& root, const QString& relative);

} // namespace zp
