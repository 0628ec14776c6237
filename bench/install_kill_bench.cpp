// Kills `zenpatch-cli install --overwrite-source` with SIGKILL at random moments and checks after each
// kill that every board file is whole (its old bytes or its new bytes, nothing between), that the
// next job takes over the dead run's lock at once and removes its temporary files, exchange and work
// folders, and that a revert then puts every file back as it was.
//   install_kill_bench [TRIALS FILES KIB_PER_FILE]   (default 200 40 64)
#include "bench/kill_harness.h"

#include <QDir>
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

    // The new bytes come from an installation into the output folder; a full run over the source is timed.
    const QStringList install {"--home", home, "install", "Stress", "--overwrite-source"};
    if (Wait(Start({"--home", home, "install", "Stress"})) != 0)
        return std::fprintf(stderr, "the installation into the output folder failed\n"), 2;
    const QHash<QString, QByteArray> after = board.Files(board.output);
    const auto fullStart = Clock::now();
    if (Wait(Start(install)) != 0)
        return std::fprintf(stderr, "the installation over the source failed\n"), 2;
    const auto full = Clock::now() - fullStart;

    int allOld = 0, mixed = 0, allNew = 0, torn = 0, leftLeftovers = 0, slowTakeovers = 0, leftTemporaries = 0,
        notReverted = 0;
    for (int trial = 0; trial < trials; ++trial) {
        board.Restore(before);
        QDir(home + "/backups").removeRecursively();

        StartAndKill(install, full);
        const auto [olds, news] = TallyFiles(source, files, before, after);
        torn += files - olds - news;
        (olds == files ? allOld : news == files ? allNew : mixed) += 1;
        leftTemporaries += TemporaryFilesBelow(source) > 0;

        // The next job takes over the dead run's lock at once and clears what it left.
        const auto next = Clock::now();
        Wait(Start({"--home", home, "analyze", "Stress"}));
        slowTakeovers += Clock::now() - next > std::chrono::seconds(5);
        leftLeftovers += TemporaryFilesBelow(source) + QFileInfo::exists(home + "/zpk_inst_temp")
            + QFileInfo::exists(home + "/enctemp") + QFileInfo::exists(home + "/zpatch.pending");

        // A revert undoes the killed run: the manifest is written before the first file is replaced.
        Wait(Start({"--home", home, "revert", "Stress"}));
        notReverted += TallyFiles(source, files, before, after).olds != files;
    }

    std::printf("board: %d files of %d KiB; a full install over the source takes %.3f s\n",
                files,
                kib,
                std::chrono::duration<double>(full).count());
    std::printf("%d kills: %d before the first file was replaced, %d while replacing, %d after the last\n",
                trials,
                allOld,
                mixed,
                allNew);
    std::printf("files neither old nor new: %d; kills that left temporary files: %d, all removed by the next "
                "job: %s; slow lock takeovers: %d\n",
                torn,
                leftTemporaries,
                leftLeftovers == 0 ? "yes" : "no",
                slowTakeovers);
    std::printf("killed runs that a revert did not undo: %d\n", notReverted);
    return torn == 0 && leftLeftovers == 0 && slowTakeovers == 0 && notReverted == 0 ? 0 : 1;
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
