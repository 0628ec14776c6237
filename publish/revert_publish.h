#pragma once

#include "app/job_lock.h"
#include "publish/remote_session.h"

#include <QString>

namespace zp {

struct AppState;
class LogSink;
struct Server;

enum class RevertPublishOutcome {
    Done, // every file logged; red rows for those left alone or failed
    AlreadyReverted, // said so; nothing changed
    Failed, // no job (the result's message says why), or no manifest or no connection (the log says why)
    HackGone, // the hack is no longer in the database: nothing was done
};

// Undoes the publish kept in the backup `name` (see PublishBackup) as one job, logging a row per
// file: a server file that still holds the bytes the publish sent gets its backup copy back (under
// a temporary name, renamed over it, keeping its mode), a file the publish created is removed, and
// a file changed on the server since then is left alone (a red row). Once every file is as before,
// a mark in the backup folder says so. A dry run writes nothing anywhere.
// The message says why the job could not start.
using RevertPublishResult = JobResult<RevertPublishOutcome>;
RevertPublishResult RevertPublish(AppState& state,
                                  int hackNum,
                                  const Server& server,
                                  const ConnectOptions& connect,
                                  const QString& name,
                                  bool dryRun,
                                  LogSink& log);

} // namespace zp
