#include "install/trial_installation.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "app/whole_file.h"
#include "core/catalogue_operations.h"
#include "core/install_log.h"
#include "database/recordset.h"
#include "install/support_files.h"

#include <QDir>
#include <QFile>
#include <stdexcept>

namespace zp {

TrialInstallation::TrialInstallation(QString sourceRoot, BoardFileCache* cache)
    : sourceRoot_(std::move(sourceRoot))
    , cache_(cache)
{
}

bool TrialInstallation::Run(AppState& state, int hackNum, InstallationHost& host, LogSink& log)
{
    if (!folder_)
        folder_.emplace(state.ProgramFolder);
    log.Clear();
    Recordset hack(state.Connection);
    if (!OpenHackRow(hack, hackNum)) {
        mods_.clear();
        return false;
    }
    const BoardLayout layout = LayoutOf(state, hack.Int("HackType"));
    LogHackName(hack, log, QStringLiteral("BEGIN Installation"));
    ModPass pass(state, hackNum, layout, host, log, folder_->path(), sourceRoot_, saved_, cache_);
    if (limit_)
        pass.LimitTo(&*limit_);
    const bool any = pass.Run();
    mods_ = pass.Results();
    if (!any)
        return false;
    WriteSupportFiles(state, hackNum, layout, log, [this](const QString& relative, Recordset& files) {
        WriteSupportFile(relative, files);
    });
    for (const auto& [relative, workFile] : saved_) {
        const auto origin = pass.Origins().find(relative);
        Keep(relative, origin != pass.Origins().end() ? origin->second : QString(), workFile, false);
    }
    LogHackName(hack, log, QStringLiteral("END Installation"));
    log.SetCurrentRow(0);
    return true;
}

// A support file replaces whatever the working copy held at its place, as it replaces the file in
// the output folder; the diff compares it with the source root's file there, if any.
void TrialInstallation::WriteSupportFile(const QString& relative, Recordset& files)
{
    QString path = QDir::cleanPath(relative);
    if (path.startsWith(u'/'))
        path.remove(0, 1);
    if (limit_ && !limit_->contains(path))
        return;
    const QString workFile = folder_->filePath(QStringLiteral("s") + QString::number(++supportFiles_));
    QFile out(workFile);
    if (!out.open(QIODevice::WriteOnly))
        throw std::runtime_error(out.errorString().toStdString());
    const bool read = files.ReadBlob("FileData", [&out](const QByteArray& chunk) { return WriteFully(out, chunk); });
    if (!read || !out.flush())
        throw std::runtime_error(out.errorString().toStdString());
    saved_[path] = workFile;
    const QString origin = sourceRoot_ + u'/' + path;
    Keep(path, QFile::exists(origin) ? origin : QString(), workFile, true);
}

void TrialInstallation::Keep(const QString& relative, const QString& origin, const QString& workFile, bool support)
{
    const auto [known, added] = places_.try_emplace(relative, files_.size());
    if (added) {
        files_.push_back({relative, origin, workFile, support});
    } else {
        File& file = files_[known->second];
        file.workFile = workFile;
        file.support = file.support || support;
    }
}

QByteArray TrialInstallation::Bytes(const QString& path)
{
    QFile file;
    if (const QString refusal = OpenRegularFile(file, path); !refusal.isEmpty())
        throw std::runtime_error(QStringLiteral("Unable to read %1: %2").arg(path, refusal).toStdString());
    return file.readAll();
}

} // namespace zp
