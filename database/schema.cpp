#include "database/schema.h"

namespace zp::schema {

// Text columns that lists are ordered or searched by compare without letter case, as the hack list
// and the file ordering of installations expect. Memo columns are unbounded TEXT; FileData holds bytes.
QStringList CreateStatements()
{
    const QStringList original {
        "CREATE TABLE [HackInfo] ("
        "[HackNum] INTEGER PRIMARY KEY AUTOINCREMENT, [Name] TEXT COLLATE NOCASE, [Version] TEXT COLLATE NOCASE, "
        "[AuthName] TEXT COLLATE NOCASE, [AuthEmail] TEXT COLLATE NOCASE, [HomePage] TEXT COLLATE NOCASE, "
        "[UpdateURL] TEXT COLLATE NOCASE, [Copyright] TEXT COLLATE NOCASE, [Comments] TEXT, [PreInstallCom] TEXT, "
        "[PostInstallCom] TEXT, [HackType] INTEGER, [LastMod] TEXT, [LastInstall] TEXT, [RemFiles] TEXT)",
        "CREATE TABLE [HackData] ("
        "[HackNum] INTEGER, [ModOrder] INTEGER, [FileName] TEXT COLLATE NOCASE, [PrimaryDir] INTEGER, "
        "[ExtendDir] TEXT COLLATE NOCASE, [ActionType] INTEGER, [ModInst] INTEGER, [OldData] TEXT, "
        "[NewData] TEXT, [Comment] TEXT)",
        "CREATE INDEX [HackDataByHack] ON [HackData] ([HackNum])",
        "CREATE TABLE [HackFiles] ("
        "[HackNum] INTEGER, [FileName] TEXT COLLATE NOCASE, [Location] INTEGER, [CustomDir] TEXT COLLATE NOCASE, "
        "[FileData] BLOB)",
        "CREATE INDEX [HackFilesByHack] ON [HackFiles] ([HackNum])",
        "CREATE TABLE [MainConfig] ("
        "[SourceDir] TEXT, [OutputDir] TEXT, [cfgDefHackType] INTEGER, [cfgModValidate] INTEGER, "
        "[cfgFileAssoc] INTEGER, [cfgSearchOutputDir] INTEGER, [cfgDelOutputDir] INTEGER, "
        "[cfgOverWriteSource] INTEGER, [cfgEOL] INTEGER, [cfgAuthName] TEXT, [cfgAuthEmail] TEXT, "
        "[cfgAuthHomePage] TEXT, [cfgAuthUpdate] TEXT, [cfgAuthCopyright] TEXT, [cfgAuthComment] TEXT, "
        "[cfgPreComment] TEXT, [cfgPostComment] TEXT, [ubbCGIDir] TEXT, [ubbNonCGIDir] TEXT, "
        "[ubbMembersDir] TEXT, [ubbVariablesDir] TEXT, [ubbTemplatesDir] TEXT, [vbRootDir] TEXT, "
        "[vbAdminDir] TEXT, [vbModDir] TEXT, [vbImagesDir] TEXT, [vbSmiliesDir] TEXT, [vbPollsDir] TEXT, "
        "[vbIconsDir] TEXT, [vbAttachDir] TEXT, [diagExportPath] TEXT, [diagImportPath] TEXT)",
        "INSERT INTO [MainConfig] DEFAULT VALUES",
    };
    return original + AddedTableStatements();
}

// The servers a run's files are published to. No password or passphrase is ever stored.
QStringList AddedTableStatements()
{
    return {
        "CREATE TABLE IF NOT EXISTS [Servers] ("
        "[Name] TEXT PRIMARY KEY COLLATE NOCASE, [Host] TEXT, [Port] INTEGER, [User] TEXT, [Folder] TEXT, "
        "[SignIn] INTEGER, [KeyFile] TEXT, [Modes] TEXT)",
    };
}

bool IsLongText(const QString& table, const QString& column)
{
    static const QStringList hackInfo {"Comments", "PreInstallCom", "PostInstallCom", "RemFiles"};
    return table.compare(QLatin1String("HackInfo"), Qt::CaseInsensitive) == 0
        && hackInfo.contains(column, Qt::CaseInsensitive);
}

} // namespace zp::schema
