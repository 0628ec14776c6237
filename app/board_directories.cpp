#include "app/board_directories.h"

#include "app/app_state.h"

namespace zp {

namespace {

const QStringList UbbColumns = {"ubbCGIDir", "ubbNonCGIDir", "ubbMembersDir", "ubbVariablesDir", "ubbTemplatesDir"};
const QStringList VbColumns
    = {"vbRootDir", "vbAdminDir", "vbModDir", "vbImagesDir", "vbSmiliesDir", "vbPollsDir", "vbIconsDir", "vbAttachDir"};

// The table sizes of the two layouts; the entries past the configured columns stay empty.
constexpr int UbbTableSize = 6;
constexpr int VbTableSize = 10;

bool LocationInList(int hackType, int location)
{
    if (hackType == 0)
        return location >= 0 && location < UbbColumns.size();
    if (hackType == 1)
        return location >= 0 && location < VbColumns.size();
    return false;
}

// Location folder immediately followed by the sub-path, '\' turned into '/', then one leading and
// one trailing separator removed (inner doubled separators stay).
QString ResolveJoined(const BoardLayout& layout, int location, const QVariant& subPath)
{
    QString r;
    if (LocationInList(layout.hackType, location))
        r = layout.directories.value(location) + (subPath.isNull() ? QString() : subPath.toString());
    r.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (r.startsWith(QLatin1Char('/')))
        r.remove(0, 1);
    if (r.endsWith(QLatin1Char('/')))
        r.chop(1);
    return r;
}

} // namespace

QStringList LocationNames(int hackType)
{
    if (hackType == 0)
        return {"CGI", "NonCGI", "Members", "Variables", "Templates"};
    if (hackType == 1)
        return {"Root", "Admin", "Mod", "Images", "Images/Smilies", "Images/Polls", "Images/Icons", "Images/Attach"};
    return {};
}

int LocationIndex(const QVariant& stored)
{
    bool isNumber = false;
    const int index = stored.toInt(&isNumber);
    return stored.isNull() || !isNumber ? -1 : index;
}

BoardLayout LayoutOf(const AppState& state, int hackType)
{
    const QStringList* columns = nullptr;
    int size = 0;
    if (hackType == 0) {
        columns = &UbbColumns;
        size = UbbTableSize;
    } else if (hackType == 1) {
        columns = &VbColumns;
        size = VbTableSize;
    } else {
        return {hackType, {}};
    }
    BoardLayout layout {hackType, {}};
    const Recordset* config = state.ConfigRecordset.get();
    // Without a configuration row every location is the root itself.
    const bool haveRow = config && config->IsOpen() && !config->BOF() && !config->EOF();
    for (int i = 0; i < size; ++i)
        layout.directories << (haveRow && i < columns->size() ? config->Text(columns->at(i)) : QString());
    return layout;
}

BoardLayout CurrentLayout(const AppState& state)
{
    return {state.CurrentHackType, state.DirectoryTable};
}

void LoadDirectoryTable(AppState& state)
{
    if (LocationNames(state.CurrentHackType).isEmpty())
        return;
    state.DirectoryTable = LayoutOf(state, state.CurrentHackType).directories;
}

QString ResolveModDirectory(const BoardLayout& layout, int primaryDir, const QVariant& extendDir)
{
    return ResolveJoined(layout, primaryDir, extendDir);
}

QString ResolveTextExportDirectory(const BoardLayout& layout, int location, const QVariant& customDir)
{
    // The folder the installer writes the file into, relative to the root. A path leaving the root
    // stays as it is, so that the writer refuses it.
    const QString installed = ResolveSupportFileDirectory(layout, location, customDir);
    const std::optional<QString> joined = JoinInsideRoot(QString(), installed);
    return joined ? joined->mid(1) : installed;
}

QString ResolveSupportFileDirectory(const BoardLayout& layout, int location, const QVariant& customDir)
{
    if (location < 0 || location > 7)
        return QString();
    // Joined with '\' as the installer always has, doubled '\' collapsed once, then every '\' and
    // '/' is a '/'. No separator is removed at either end.
    QString r = layout.directories.value(location) + QLatin1Char('\\')
        + (customDir.isNull() ? QString() : customDir.toString());
    r.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    r.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return r;
}

std::optional<QString> JoinInsideRoot(const QString& root, const QString& relative)
{
    QString joined = root;
    for (const QString& element : QString(relative).replace(QLatin1Char('\\'), QLatin1Char('/')).split('/')) {
        if (element == QStringLiteral(".."))
            return std::nullopt;
        if (element.isEmpty() || element == QStringLiteral("."))
            continue;
        if (!joined.endsWith(QLatin1Char('/')))
            joined += QLatin1Char('/');
        joined += element;
    }
    return joined;
}

} // namespace zp
