// Times the board-wide checks: the upgrade check and the conflict check of every hack, on a board
// of small files and 256 KiB files, each hack changing 1 to 5 of the large ones, and measures the
// peak memory.
//   board_check_bench                             200 hacks of 20 mods, 1,900 small and 100 large files
//   board_check_bench HACKS MODS SMALL LARGE      one size, no targets judged
// Exit status 2 when the check cannot run; without arguments, 1 when a figure misses its target:
// the upgrade check under 10 s, the conflict check under 30 s, peak memory under 256 MiB.
#include "install_board.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/scripted_dialogs.h"
#include "boardcheck/board_check.h"
#include "core/catalogue_operations.h"
#include "database/recordset.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace zp {
namespace {

// The hacks: hack h changes 1 + h % 5 of the large files, chosen by a fixed sequence, with `mods`
// mods spread over them, the six actions in turn, each at a hook line of its file.
void AddHacks(AppState& state, int hacks, int mods, int largeFiles)
{
    unsigned seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) & 0x7fff);
    };
    for (int h = 0; h < hacks; ++h) {
        const int hack = CreateHack(state, [h](Recordset& info) {
            info.SetValue("Name", QStringLiteral("Hack %1").arg(h, 3, 10, QChar('0')));
            info.SetValue("HackType", 0);
        });
        std::vector<int> files;
        for (int f = 0; f < 1 + h % 5; ++f)
            files.push_back(next() % largeFiles);
        const int first = next();
        bench::StoreMods(state, hack, mods, [&](int m) {
            const int file = files[size_t(m) % files.size()];
            return bench::Mod {bench::NameOfFile(file),
                               "/" + bench::FolderOfFile(file),
                               m % 6,
                               1,
                               QStringLiteral("# hook %1-%2 ##").arg(file).arg((first + m) % 20),
                               QStringLiteral("# hack %1 mod %2").arg(h).arg(m)};
        });
    }
}

int Run(int hacks, int mods, int smallFiles, int largeFiles, bool judge)
{
    QTemporaryDir home;
    const bench::Board board = bench::GenerateBoard(home.path(), smallFiles, largeFiles, 20);
    // The new release: the same board less a few of its large files.
    const bench::Board release = bench::GenerateBoard(home.path() + "/release", smallFiles, largeFiles, 20);
    for (int f = 0; f < largeFiles; f += 25)
        QFile::remove(release.source + "/cgi-bin/" + bench::FolderOfFile(f) + "/" + bench::NameOfFile(f));
    ScriptedDialogs dialogs;
    AppState state(home.path(), dialogs);
    bench::OpenBoardDatabase(state, board);
    AddHacks(state, hacks, mods, largeFiles);

    UpgradeCheckResult upgrade;
    const double upgradeSeconds
        = bench::Seconds([&] { upgrade = RunUpgradeCheck(state, release.source, board.source, {}); });
    int fit = 0;
    for (const UpgradeRow& row : upgrade.Rows)
        fit += row.Verdict == UpgradeVerdict::Fits;
    std::printf("check-upgrade: %d hacks of %d mods in %.2f s (%d fit, %d do not)\n",
                hacks,
                mods,
                upgradeSeconds,
                fit,
                int(upgrade.Rows.size()) - fit);

    ConflictCheckResult conflicts;
    const double conflictSeconds = bench::Seconds([&] { conflicts = RunConflictCheck(state, board.source, {}); });
    int breaking = 0;
    for (const ConflictPair& pair : conflicts.Pairs)
        breaking += Breaks(pair.Verdict);
    std::printf("conflicts: %d pairs of %d shared a file (%d break) in %.2f s; %s\n",
                int(conflicts.Pairs.size()),
                hacks * (hacks - 1) / 2,
                breaking,
                conflictSeconds,
                conflicts.Cycle.empty() ? "a safe order" : "no safe order");
    const double peak = bench::PeakMiB();
    std::printf("peak memory: %.0f MiB\n", peak);
    CloseDatabase(state);
    if (upgrade.Rows.size() != size_t(hacks))
        return 2;
    if (!judge)
        return 0;
    return upgradeSeconds < 10 && conflictSeconds < 30 && peak < 256 ? 0 : 1;
}

} // namespace
} // namespace zp

int main(int argc, char** argv)
{
    if (argc == 5)
        return zp::Run(std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), false);
    if (argc != 1) {
        std::fprintf(stderr, "usage: board_check_bench [HACKS MODS SMALL_FILES LARGE_FILES]\n");
        return 2;
    }
    return zp::Run(200, 20, 1900, 100, true);
}
