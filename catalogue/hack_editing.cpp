#include "catalogue/hack_editing.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "core/board_text.h"
#include "database/recordset.h"
#include "engine/find_routines.h"
#include "engine/mod_target.h"
#include "engine/modification_engine.h"
#include "engine/work_buffer.h"
#include "interchange/interchange_common.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <stdexcept>

namespace zp {

namespace {

const QString Yes = QStringLiteral("Yes");
const QString No = QStringLiteral("No");

// The mod's folder and file below SourceDir; nothing is looked at before the source folder is set
// or for a mod whose location or sub-path would lead out of it.
bool Checkable(const AppState& state, const ModTarget& target)
{
    return target.insideRoot && !state.SourceDir.isEmpty();
}

} // namespace

int ListIndexOf(const QVariant& stored, int count, int first)
{
    bool isNumber = false;
    const int index = stored.toInt(&isNumber) - first;
    return !stored.isNull() && isNumber && index >= 0 && index < count ? index : -1;
}

QString CheckModFile(const AppState& state, const Recordset& mods)
{
    const ModTarget target = ModTargetFrom(CurrentLayout(state), mods);
    const QString folder = Below(state.SourceDir, target.directory);
    if (!Checkable(state, target) || !DirExists(folder))
        return No;
    return FindFileInTree(target.fileName, folder).isEmpty() ? No : Yes;
}

QString CheckModOldData(const AppState& state, const Recordset& mods)
{
    const ModTarget target = ModTargetFrom(CurrentLayout(state), mods);
    if (!Checkable(state, target))
        return No;
    WorkBuffer source;
    try {
        source.LoadFile(Below(state.SourceDir, target.relativePath));
    } catch (const std::exception&) {
        return No;
    }
    return FoldedSearch(ToCrLf(mods.Text("OldData"))).IndexIn(source.Searchable(), 0) >= 0 ? Yes : No;
}

QStringList ModListCells(const AppState& state, const Recordset& mods, bool validate)
{
    QString fileFound, oldDataFound;
    if (validate) {
        fileFound = CheckModFile(state, mods);
        oldDataFound = fileFound == Yes ? CheckModOldData(state, mods) : No;
    }
    const QVariant instance = mods.Value("ModInst");
    const QString instanceText
        = instance.isNull() ? QString() : (instance.toInt() == 0 ? QStringLiteral("All") : instance.toString());
    return {fileFound,
            oldDataFound,
            mods.Text("ModOrder"),
            instanceText,
            mods.Text("FileName"),
            ActionName(ActionCodeOf(mods.Value("ActionType"))),
            LocationNames(state.CurrentHackType).value(mods.Int("PrimaryDir", -1)),
            mods.Text("Comment")};
}

void RenumberMods(Recordset& mods)
{
    int order = 0;
    for (mods.MoveFirst(); !mods.EOF(); mods.MoveNext()) {
        mods.SetValue("ModOrder", ++order);
        mods.Update();
    }
}

void AddSupportFile(AppState& state, int hackNum, const QString& path, int location, const QString& customDir)
{
    const QFileInfo info(path);
    if (info.isDir())
        throw std::runtime_error("it is a folder, not a file");
    // Refused now rather than when the hack is exported.
    if (const QString problem = SupportFileProblem(FileNameOf(path), customDir); !problem.isEmpty())
        throw std::runtime_error(problem.toStdString());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(file.errorString().toStdString());
    file.close();
    const qint64 limit = sqlite3_limit(state.Connection.Handle(), SQLITE_LIMIT_LENGTH, -1);
    if (info.size() > limit)
        throw std::runtime_error(
            QStringLiteral("it is larger than the database can hold (%1 bytes at most)").arg(limit).toStdString());

    Recordset& files = *state.HackFilesRecordset;
    files.AddNew();
    try {
        files.SetValue("HackNum", hackNum);
        files.SetValue("FileName", FileNameOf(path));
        files.SetValue("Location", location);
        files.SetValue("CustomDir", NullIfEmpty(customDir));
        files.SetBlobFromFile("FileData", path);
        files.Update();
    } catch (...) {
        files.CancelUpdate();
        throw;
    }
}

} // namespace zp
