#pragma once

// What the kill benches share: a program folder with the hack "Stress" (one mod per board file),
// and the command line started and waited for as a child process.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <sys/types.h>

namespace zp::bench {

using Clock = std::chrono::steady_clock;

QByteArray Read(const QString& path);
// Exits with status 2 when the file cannot be written.
void Write(const QString& path, const QByteArray& bytes);
// The board file of number n, relative to the board root.
QString BoardFile(int n);
// Starts zenpatch-cli (beside the running executable) with these arguments; returns its process
// id. Its output goes to /dev/null unless KILL_BENCH_VERBOSE is set.
pid_t Start(const QStringList& arguments);
// The exit status, -1 when it was killed.
int Wait(pid_t pid);
// The board of `files` files of `kib` KiB and the program folder `home` with the hack "Stress":
// one "Add After" mod per board file, so that every file changes.
void PrepareHome(const QString& home, const QString& source, const QString& output, int files, int kib);
// The files below a folder whose name marks a temporary file of an unfinished write.
int TemporaryFilesBelow(const QString& folder);

} // namespace zp::bench
