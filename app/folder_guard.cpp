#include "app/folder_guard.h"

#include "app/app_state.h"
#include "app/common.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace zp {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("FolderGuard", text);
}

// Whether the canonical folder `inner` is `outer` or lies below it.
bool Within(const QString& inner, const QString& outer)
{
    return inner == outer || inner.startsWith(outer.endsWith(u'/') ? outer : outer + u'/');
}

// The folders of the program folder that Zenpatch fills and empties itself.
QList<GuardedFolder> WorkingFolders(const QString& programFolder)
{
    return {{tr("the backups folder"), programFolder + QStringLiteral("/backups")},
            {tr("the exchange folder"), programFolder + QStringLiteral("/enctemp")},
            {tr("the work folder"), programFolder + QStringLiteral("/zpk_inst_temp")}};
}

} // namespace

std::optional<GuardedFolder>
OutputFolderConflict(const QString& programFolder, const QString& sourceFolder, const QString& output)
{
    const QString out = CanonicalFolder(output);
    const QString program = CanonicalFolder(programFolder);
    if (Within(program, out))
        return GuardedFolder {tr("the program folder"), programFolder};
    for (const GuardedFolder& folder : WorkingFolders(programFolder)) {
        if (Within(out, CanonicalFolder(folder.path)))
            return folder;
    }
    if (!sourceFolder.isEmpty()) {
        const QString source = CanonicalFolder(sourceFolder);
        if (Within(out, source) || Within(source, out))
            return GuardedFolder {tr("the source folder"), sourceFolder};
    }
    return std::nullopt;
}

std::optional<GuardedFolder> ExportFolderConflict(const AppState& state, const QString& folder)
{
    const QString target = CanonicalFolder(folder);
    QList<GuardedFolder> emptied = WorkingFolders(state.ProgramFolder).mid(1);
    if (!state.OutputDir.isEmpty())
        emptied.prepend({tr("the output folder"), state.OutputDir});
    for (const GuardedFolder& guarded : emptied) {
        if (Within(target, CanonicalFolder(guarded.path)))
            return guarded;
    }
    return std::nullopt;
}

QString DeleteOutputFolder(const AppState& state)
{
    const QString output = QDir::cleanPath(state.OutputDir);
    if (const auto conflict = OutputFolderConflict(state.ProgramFolder, state.SourceDir, output))
        return tr("The output folder %1 was not deleted: it overlaps %2 (%3), which must never be emptied.")
            .arg(QDir::toNativeSeparators(output), conflict->what, QDir::toNativeSeparators(conflict->path));
    if (QFileInfo(output).isSymLink())
        EmptyFolderTree(CanonicalFolder(output));
    else
        DeleteFolderTree(output);
    return QString();
}

} // namespace zp
