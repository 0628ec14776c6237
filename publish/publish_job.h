#pragma once

#include "app/job_lock.h"
#include "publish/remote_session.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

namespace zp {

struct AppState;
class LogSink;
struct Server;

enum class PublishState {
    New, // not on the server: it will be created
    Replace, // the server holds the source folder's copy: it will be replaced
    Unchanged, // the server holds the new bytes already
    Refused, // the server's file is not the source's, or its folder is missing: sent only when overwritten
    Unsafe, // a link on the way, or no regular file there: never written
    Missing, // not in the output folder
    Sent,
    Failed,
};

// "new", "replaced", "unchanged", "refused", "unsafe", "missing", "sent", "failed".
QString PublishStateText(PublishState state);

// One file of the installation and what a publish found or did with it.
struct PublishFile
{
    QString path; // relative to the output and source folders, and to the server's folder
    int location = -1; // the board location (LocationNames), -1 for none
    qint64 bytes = 0; // the output file's size
    QByteArray after; // SHA-256 of the output file
    QByteArray before; // SHA-256 of the server's file, when it was read
    bool onServer = false;
    bool folderMissing = false; // the server's folder for it does not exist
    int mode = 0; // the mode it has, or will have, on the server
    PublishState state = PublishState::Missing;
    QString reason; // of a refused, unsafe, missing or failed file
    bool overwrite = false; // the user chose to send a refused file all the same
};

struct PublishOptions
{
    bool dryRun = false; // check and list, write nothing anywhere
    bool force = false; // overwrite every refused file
    const std::atomic<bool>* cancel = nullptr; // honoured between files
    // After each file is checked and after each is sent.
    std::function<void(int done, int total, const PublishFile& file)> progress;
};

enum class PublishOutcome {
    Done, // every file checked, and sent unless a dry run; red rows for those that failed
    Refused, // the check refused a file: nothing was sent
    Stopped, // cancelled or the connection was lost: every server file old or new, the backup says which
    Failed, // no job (the result's message says why), or no connection or no sign-in (the log says why)
    HackGone, // the hack is no longer in the database: nothing was done
};

// The files that the installation of the hack numbered hackNum writes below the output folder: the
// board files its mods name and its support files, by path; nothing when the hack is no longer in
// the database.
std::optional<std::vector<PublishFile>> InstalledFiles(AppState& state, int hackNum);

// Publishes the files of the hack's installation in the output folder to the server, as
// one job (JobLock), logging a row per file. Each file is checked first, nothing being written
// before every file passed or was chosen to be overwritten (`files` carries the choices in, and
// each file's state out). The server's files about to be replaced are kept in a backup folder with
// a manifest (see PublishBackup) before the first is replaced, and each file is written under a
// temporary name, checked and renamed over the old one, so a file is always old or new.
// The message says why the job could not start.
using PublishResult = JobResult<PublishOutcome>;
PublishResult PublishInstallation(AppState& state,
                                  int hackNum,
                                  const Server& server,
                                  const ConnectOptions& connect,
                                  const PublishOptions& options,
                                  LogSink& log,
                                  std::vector<PublishFile>& files);

} // namespace zp
