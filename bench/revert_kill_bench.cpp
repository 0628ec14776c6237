// Kills `zenpatch-cli revert` with SIGKILL at random moments and checks after each kill that every
// board file is whole (its installed bytes or its bytes from before the installation, nothing
// between), and that the next revert takes over the dead run's lock, clears its temporary files and
// finishes the job: every file as before, the backup marked as reverted.
//   revert_kill_bench [TRIALS FILES KIB_PER_FILE]   (default 200 40 64)
#include "bench/kill_harness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <cstdio>
#include <cstdlib>

namespace zp {
namespace {

using namespace bench;

int Run(int trials, int files, int kib)
{
    const StressBoard board(files, kib);
    const QString &home = board.home, &source = board.source;
    const QHash<QString, QByteArray> before = board.Files(source);
    if (Wait(Start({"--home", home, "install", "Stress", "--overwrite-source"})) != 0)
        return std::fprintf(stderr, "the installation over the source failed\n"), 2;
    const QHash<QString, QByteArray> after = board.Files(source);
    const QString mark = home + "/backups/"
        + QDir(home + "/backups").entryList(QDir::Dirs | QDir::NoDotAndDotDot).value(0) + "/reverted";
    const auto reinstall = [&] {
        board.Restore(after);
        QFile::remove(mark);
    };

    const QStringList revert {"--home", home, "revert", "Stress"};
    const auto fullStart = Clock::now();
    if (Wait(Start(revert)) != 0 || !QFileInfo::exists(mark))
        return std::fprintf(stderr, "the revert failed\n"), 2;
    const auto full = Clock::now() - fullStart;

    int allInstalled = 0, mixed = 0, allBefore = 0, torn = 0, leftTemporaries = 0, unfinished = 0;
    for (int trial = 0; trial < trials; ++trial) {
        reinstall();
        StartAndKill(revert, full);
        const auto [olds, news] = TallyFiles(source, files, before, after);
        torn += files - olds - news;
        (news == files ? allInstalled : olds == files ? allBefore : mixed) += 1;
        leftTemporaries += TemporaryFilesBelow(source) > 0;

        // The next revert finishes what the killed one began.
        const int status = Wait(Start(revert));
        const int asBefore = TallyFiles(source, files, before, after).olds;
        unfinished += status != 0 || asBefore != files || !QFileInfo::exists(mark) || TemporaryFilesBelow(source) > 0;
    }

    std::printf("board: %d files of %d KiB; a full revert takes %.3f s\n",
                files,
                kib,
                std::chrono::duration<double>(full).count());
    std::printf("%d kills: %d before the first file was restored, %d while restoring, %d after the last\n",
                trials,
                allInstalled,
                mixed,
                allBefore);
    std::printf("files neither installed nor as before: %d; kills that left temporary files: %d; "
                "reverts after a kill that did not finish the job: %d\n",
                torn,
                leftTemporaries,
                unfinished);
    return torn == 0 && unfinished == 0 ? 0 : 1;
}

} // namespace
} // namespace zp

int main(int argc, char** argv)
{
    const int trials = argc > 3 ? std::atoi(argv[1]) : 200;
    const int files = argc > 3 ? std::atoi(argv[2]) : 40;
    const int kib = argc > 3 ? std::atoi(argv[3]) : 64;
    return zp::Run(trials, files, kib);
}
