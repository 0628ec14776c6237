#include "app/configuration.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "app/folder_guard.h"
#include "database/sql.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <variant>

namespace zp {

namespace {

// One column of MainConfig as the Options dialog edits it; text columns store Null for "".
struct OptionColumn
{
    const char* name;
    std::variant<QString OptionsValues::*, int OptionsValues::*> member;
    int defaultValue = 0; // for integer columns read as Null
};

// The writing order of a save.
const OptionColumn Columns[] = {
    {"SourceDir", &OptionsValues::SourceDir},
    {"OutputDir", &OptionsValues::OutputDir},
    {"ubbCGIDir", &OptionsValues::ubbCGIDir},
    {"ubbNonCGIDir", &OptionsValues::ubbNonCGIDir},
    {"ubbMembersDir", &OptionsValues::ubbMembersDir},
    {"ubbVariablesDir", &OptionsValues::ubbVariablesDir},
    {"ubbTemplatesDir", &OptionsValues::ubbTemplatesDir},
    {"vbRootDir", &OptionsValues::vbRootDir},
    {"vbAdminDir", &OptionsValues::vbAdminDir},
    {"vbModDir", &OptionsValues::vbModDir},
    {"vbImagesDir", &OptionsValues::vbImagesDir},
    {"vbSmiliesDir", &OptionsValues::vbSmiliesDir},
    {"vbPollsDir", &OptionsValues::vbPollsDir},
    {"vbIconsDir", &OptionsValues::vbIconsDir},
    {"vbAttachDir", &OptionsValues::vbAttachDir},
    {"cfgDefHackType", &OptionsValues::cfgDefHackType, 0},
    {"cfgModValidate", &OptionsValues::cfgModValidate, 1},
    {"cfgFileAssoc", &OptionsValues::cfgFileAssoc, 1},
    {"cfgSearchOutputDir", &OptionsValues::cfgSearchOutputDir, 0},
    {"cfgDelOutputDir", &OptionsValues::cfgDelOutputDir, 1},
    {"cfgOverWriteSource", &OptionsValues::cfgOverWriteSource, 0},
    {"cfgEOL", &OptionsValues::cfgEOL, 0},
    {"cfgAuthName", &OptionsValues::cfgAuthName},
    {"cfgAuthEmail", &OptionsValues::cfgAuthEmail},
    {"cfgAuthHomePage", &OptionsValues::cfgAuthHomePage},
    {"cfgAuthUpdate", &OptionsValues::cfgAuthUpdate},
    {"cfgAuthCopyright", &OptionsValues::cfgAuthCopyright},
    {"cfgAuthComment", &OptionsValues::cfgAuthComment},
    {"cfgPreComment", &OptionsValues::cfgPreComment},
    {"cfgPostComment", &OptionsValues::cfgPostComment},
};

const QString InvalidDirectory = QStringLiteral("Invalid Directory");
const QString SameDirectories = QStringLiteral("The Source and Output directories cannot be the the same.");
const QString NotAsRootFolder = QStringLiteral(
    "You cannot set the output folder as your desktop or windows root folders, it must be a subfolder.");

OptionsValues OptionsFromRow(const Recordset& row)
{
    OptionsValues values;
    for (const OptionColumn& column : Columns) {
        const QString name = QString::fromLatin1(column.name);
        if (const auto* text = std::get_if<QString OptionsValues::*>(&column.member))
            values.*(*text) = row.Text(name);
        else
            values.*std::get<int OptionsValues::*>(column.member) = row.Int(name, column.defaultValue);
    }
    return values;
}

// Copies the row into the state's configuration values and rebuilds DirectoryTable.
void LoadGlobals(AppState& state)
{
    const Recordset& row = *state.ConfigRecordset;
    const OptionsValues values = OptionsFromRow(row);
    state.SourceDir = values.SourceDir;
    state.OutputDir = values.OutputDir;
    LoadDirectoryTable(state);
    state.cfgDefHackType = row.IsNull("cfgDefHackType") ? QStringLiteral("0") : row.Text("cfgDefHackType");
    state.cfgModValidate = qint16(values.cfgModValidate);
    state.cfgFileAssoc = qint16(values.cfgFileAssoc);
    state.cfgSearchOutputDir = qint16(values.cfgSearchOutputDir);
    state.cfgDelOutputDir = qint16(values.cfgDelOutputDir);
    state.cfgOverWriteSource = qint16(values.cfgOverWriteSource);
    state.cfgEOL = qint16(values.cfgEOL);
    state.cfgAuthName = values.cfgAuthName;
    state.cfgAuthEmail = values.cfgAuthEmail;
    state.cfgAuthHomePage = values.cfgAuthHomePage;
    state.cfgAuthUpdate = values.cfgAuthUpdate;
    state.cfgAuthCopyright = values.cfgAuthCopyright;
    state.cfgAuthComment = values.cfgAuthComment;
    state.cfgPreComment = values.cfgPreComment;
    state.cfgPostComment = values.cfgPostComment;
}

bool EndsWithFolder(const QString& path, const QString& folder)
{
    const QString lower = path.toLower();
    return lower.endsWith(QLatin1Char('\\') + folder) || lower.endsWith(QLatin1Char('/') + folder);
}

// The output folder is emptied before installs, so it must never be a folder that holds other data:
// the root, a folder directly under it, the home or desktop folder, one that overlaps the source, or
// one that holds the program folder or lies in a folder of it that Zenpatch fills and empties.
std::optional<UserMessage> CheckFolderSafety(const QString& programFolder, const QString& source, const QString& output)
{
    const QString out = CanonicalFolder(output);
    const QString home = CanonicalFolder(QDir::homePath());
    const QString desktop = CanonicalFolder(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (out == QStringLiteral("/") || out.lastIndexOf(QLatin1Char('/')) == 0 || out == home || out == desktop)
        return UserMessage {NotAsRootFolder, InvalidDirectory, MsgIcon::Critical};
    const std::optional<GuardedFolder> conflict = OutputFolderConflict(programFolder, source, output);
    if (!conflict)
        return std::nullopt;
    if (conflict->path == source)
        return UserMessage {SameDirectories, InvalidDirectory, MsgIcon::None};
    return UserMessage {QStringLiteral("The output folder %1 overlaps %2 (%3), where Zenpatch keeps the hack "
                                       "database, its backups and its work files. The output folder is emptied "
                                       "before installs: choose a folder of its own.")
                            .arg(output, conflict->what, conflict->path),
                        InvalidDirectory,
                        MsgIcon::Critical};
}

} // namespace

// A folder typed with the home folder as "~": the full path it stands for.
QString ExpandHomeFolder(const QString& folder)
{
    if (folder == QStringLiteral("~") || folder.startsWith(QStringLiteral("~/")))
        return QDir::homePath() + folder.mid(1);
    return folder;
}

// A folder is given by its full path (a relative one would depend on where the program was
// started) and must not be an existing file.
std::optional<UserMessage> CheckFolderForm(const QString& folder)
{
    if (!folder.startsWith(QLatin1Char('/')))
        return UserMessage {QStringLiteral("Please enter the full path of the folder, for example /home/you/board."),
                            InvalidDirectory,
                            MsgIcon::Critical};
    if (QFileInfo(folder).isFile())
        return UserMessage {folder + QStringLiteral(" is a file, not a folder."), InvalidDirectory, MsgIcon::Critical};
    return std::nullopt;
}

std::optional<UserMessage> ValidateOptions(const QString& programFolder, const QString& source, const QString& output)
{
    if (source == output)
        return UserMessage {SameDirectories, InvalidDirectory, MsgIcon::None};
    if (source.isEmpty())
        return UserMessage {QStringLiteral("You must specify a Source directory before continuing."),
                            QStringLiteral("Missing Source directory."),
                            MsgIcon::Critical};
    if (output.isEmpty())
        return UserMessage {QStringLiteral("You must specify an Output directory before continuing."),
                            QStringLiteral("Missing Output directory."),
                            MsgIcon::Critical};
    if (EndsWithFolder(output, QStringLiteral("desktop")) || EndsWithFolder(output, QStringLiteral("windows"))
        || EndsWithFolder(output, QStringLiteral("winnt")))
        return UserMessage {NotAsRootFolder, InvalidDirectory, MsgIcon::Critical};
    for (const QString& folder : {source, output}) {
        if (auto refusal = CheckFolderForm(folder))
            return refusal;
    }
    return CheckFolderSafety(programFolder, source, output);
}

ConfigurationLoad LoadConfiguration(AppState& state)
{
    Recordset& config = *state.ConfigRecordset;
    config.ReOpen(sql::SelectConfig);
    if (config.RecordCount() == 0)
        return ConfigurationLoad::NoRow;
    config.MoveFirst();
    LoadGlobals(state);
    return config.IsNull("SourceDir") || config.IsNull("OutputDir") ? ConfigurationLoad::NotConfigured
                                                                    : ConfigurationLoad::Loaded;
}

UserMessage NotConfiguredMessage()
{
    return {QStringLiteral("It appears that Zenpatch is not configured, opening configuration window."),
            QStringLiteral("New Configuration"),
            MsgIcon::Critical};
}

std::optional<OptionsValues> LoadOptions(AppState& state)
{
    Recordset& config = *state.ConfigRecordset;
    config.ReOpen(sql::SelectConfig);
    if (config.RecordCount() == 0)
        return std::nullopt;
    config.MoveFirst();
    return OptionsFromRow(config);
}

JobResult<OptionsSave> SaveOptions(AppState& state, const OptionsValues& options)
{
    OptionsValues values = options;
    values.SourceDir = ExpandHomeFolder(values.SourceDir);
    values.OutputDir = ExpandHomeFolder(values.OutputDir);
    if (auto refusal = ValidateOptions(state.ProgramFolder, values.SourceDir, values.OutputDir))
        return {OptionsSave::Refused, refusal};
    // A folder that cannot be created is not reported; the settings are saved anyway. A source
    // folder made here is empty: most likely the path was mistyped, and every mod would fail.
    const bool newSource = !DirExists(values.SourceDir);
    if (newSource)
        MakePath(values.SourceDir);
    if (!DirExists(values.OutputDir))
        MakePath(values.OutputDir);

    Recordset& config = *state.ConfigRecordset;
    if (!config.IsOpen())
        config.Open(sql::SelectConfig);
    if (config.RecordCount() == 0)
        config.AddNew();
    else if (config.BOF() || config.EOF())
        config.MoveFirst();
    for (const OptionColumn& column : Columns) {
        const QString name = QString::fromLatin1(column.name);
        if (const auto* text = std::get_if<QString OptionsValues::*>(&column.member))
            config.SetValue(name, NullIfEmpty(values.*(*text)));
        else
            config.SetValue(name, values.*std::get<int OptionsValues::*>(column.member));
    }
    config.Update();
    LoadGlobals(state);
    if (!newSource)
        return {OptionsSave::Saved, std::nullopt};
    return {OptionsSave::Saved,
            UserMessage {QStringLiteral("The source folder %1 did not exist; an empty folder was made there. "
                                        "Copy the board's files into it, or enter the folder that holds them, "
                                        "before installing.")
                             .arg(values.SourceDir),
                         QStringLiteral("Source Directory Created"),
                         MsgIcon::Exclamation}};
}

QStringList OptionNames()
{
    QStringList names;
    for (const OptionColumn& column : Columns)
        names << QString::fromLatin1(column.name);
    return names;
}

QString OptionText(const OptionsValues& values, const QString& name)
{
    for (const OptionColumn& column : Columns) {
        if (name.compare(QLatin1String(column.name), Qt::CaseInsensitive) != 0)
            continue;
        if (const auto* text = std::get_if<QString OptionsValues::*>(&column.member))
            return values.*(*text);
        return QString::number(values.*std::get<int OptionsValues::*>(column.member));
    }
    return QString();
}

bool SetOptionText(OptionsValues& values, const QString& name, const QString& text)
{
    for (const OptionColumn& column : Columns) {
        if (name.compare(QLatin1String(column.name), Qt::CaseInsensitive) != 0)
            continue;
        if (const auto* member = std::get_if<QString OptionsValues::*>(&column.member)) {
            values.*(*member) = text;
            return true;
        }
        bool ok = false;
        const int number = text.toInt(&ok);
        if (ok)
            values.*std::get<int OptionsValues::*>(column.member) = number;
        return ok;
    }
    return false;
}

} // namespace zp
