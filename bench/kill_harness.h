#pragma once

// What the kill benches share: a program folder with the hack "Stress" (one mod per board file),
// and the command line started and waited for as a child process.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <sys/types.h>

namespace zp::bench {

using Clock = std::chrono::steady_clock;

// Starts zenpatch-cli (beside the running executable) with these arguments; returns its process
// id. Its output goes to /dev/null unless KILL_BENCH_VERBOSE is set.
pid_t Start(const QStringList& arguments);
// The exit status, -1 when it was killed.
int Wait(pid_t pid);
// In a temporary folder: the board `source` of `files` files of `kib` KiB and the program folder
// `home` with the hack "Stress": one "Add After" mod per board file, so that every file changes.
struct StressBoard
{
    StressBoard(int files, int kib);
    // The bytes of each board file below `folder` (the source or the output folder).
    QHash<QString, QByteArray> Files(const QString& folder) const;
    // Writes each board file below the source with its bytes in `bytes` (as Files returned them).
    void Restore(const QHash<QString, QByteArray>& bytes) const;

    QTemporaryDir temp;
    const QString home = temp.path() + "/home", source = temp.path() + "/board", output = temp.path() + "/out";
    const int files;
};
// The files below a folder whose name marks a temporary file of an unfinished write.
int TemporaryFilesBelow(const QString& folder);

// Starts zenpatch-cli with these arguments and kills it with SIGKILL at a random moment within 1.1
// times `full` (how long a whole run takes).
void StartAndKill(const QStringList& arguments, Clock::duration full);

// How many board files hold their old bytes and how many their new ones.
struct FileTally
{
    int olds = 0, news = 0;
};
FileTally TallyFiles(const QString& source,
                     int files,
                     const QHash<QString, QByteArray>& olds,
                     const QHash<QString, QByteArray>& news);

} // namespace zp::bench
