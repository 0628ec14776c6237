#include "interchange/interchange_common.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/configuration.h"
#include "app/dialogs.h"
#include "app/folder_guard.h"
#include "database/sql.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace zp {

QString WithoutTrailingSeparator(QString folder)
{
    if (folder.size() > 1 && (folder.endsWith('/') || folder.endsWith('\\')))
        folder.chop(1);
    return folder;
}

QString ExportFolderText(const QString& typed)
{
    return WithoutTrailingSeparator(ExpandHomeFolder(typed));
}

std::optional<UserMessage> ExportFolderRefusal(const AppState& state, const QString& folder)
{
    if (std::optional<UserMessage> refusal = CheckFolderForm(folder))
        return refusal;
    if (const std::optional<GuardedFolder> conflict = ExportFolderConflict(state, folder))
        return UserMessage {QString("%1 lies in %2 (%3), which Zenpatch empties: a hack exported there "
                                    "would be deleted. Please choose another folder.")
                                .arg(folder, conflict->what, conflict->path),
                            "Invalid Directory",
                            MsgIcon::Critical};
    return std::nullopt;
}

QString LoadExportFolder(AppState& state)
{
    Recordset& config = *state.ConfigRecordset;
    if (!config.IsOpen())
        config.Open(sql::SelectConfig);
    const QString last = config.RecordCount() > 0 ? config.Text("diagExportPath") : QString();
    if (!last.isEmpty() && !CheckFolderForm(last) && !ExportFolderConflict(state, last) && QFileInfo(last).isDir())
        return last;
    // A proposal that does not exist would only fail with "Create new folder" left unticked.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

const UserMessage MissingExportName {"You need to specify an export filename.", "Missing Export Name"};
const UserMessage MissingExportPath {"You need to specify a directory to export to.", "Missing Path"};
const UserMessage SupportFolderSkipped {"Unable to create support file directory, file skipped.", ProgramTitle};

std::optional<UserMessage> PrepareExportFolder(const QString& folder, bool make)
{
    if (make && !DirExists(folder) && !MakePath(folder))
        return UserMessage {"Unable to create export folder, process halted.", ProgramTitle};
    if (!DirExists(folder))
        return UserMessage {"Directory does not exist, cannot export file.", "Export Failed"};
    return std::nullopt;
}

UserMessage ExportFolderNotEmpty(const QString& folder)
{
    return {folder + " is not empty. Please choose an empty or new folder for the text export.", "Export Failed"};
}

UserMessage ExportWriteError(const QString& reason)
{
    const QString text = "There was an error writing the file.";
    return {reason.isEmpty() ? text : text + "\n\n" + reason, "Error Exporting File"};
}

bool AskOpenOutputFolder(Dialogs& dialogs)
{
    return dialogs.messageBox(OpenOutputFolderQuestion, "Open output folder", MsgButtons::YesNo, MsgIcon::None)
        == MsgAnswer::Yes;
}

QString ExchangeFolder(const AppState& state)
{
    return state.ProgramFolder + "/enctemp";
}

void ResetExchangeFolder(const QString& folder)
{
    DeleteFolderTree(folder);
    if (DirExists(folder) || !MakePath(folder))
        throw std::runtime_error("cannot prepare the exchange folder " + folder.toStdString());
}

void SaveConfigText(AppState& state, const char* field, const QString& value)
{
    Recordset& config = *state.ConfigRecordset;
    if (!config.IsOpen())
        config.Open(sql::SelectConfig);
    if (config.RecordCount() == 0)
        return;
    if (config.BOF() || config.EOF())
        config.MoveFirst();
    config.SetValue(field, value.isEmpty() ? QVariant() : QVariant(value));
    config.Update();
}

bool IsPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\\')
        && !name.contains(QChar(0));
}

QString ExportNameFor(const QString& hackName)
{
    static const QString refused = QStringLiteral("/\\:*?\"<>|");
    QString name;
    for (const QChar c : hackName.trimmed())
        name += c.isPrint() && !refused.contains(c) ? c : u'_';
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    return name;
}

QString SupportFileProblem(const QString& name, const QString& customDir)
{
    if (!IsPlainFileName(name))
        return "\"" + name + "\" is not a plain file name.";
    if (!name.contains('.'))
        return "A hack file can only carry a support file whose name has a period in it, such as readme.txt.";
    const QString delimiter(3, QChar(0xEC));
    for (const QString& text : {name, customDir}) {
        if (text.contains('|') || text.contains(" - ") || text.contains('\r') || text.contains('\n')
            || text.contains(delimiter))
            return "A hack file cannot carry \"|\", \" - \", a line break or \"" + delimiter
                + "\" in a support file's name or folder.";
    }
    return QString();
}

bool IsConfinedSubPath(const QString& subPath)
{
    static const QRegularExpression separators("[/\\\\]");
    return !subPath.split(separators).contains("..") && !subPath.contains(QChar(0));
}

} // namespace zp
