// Times the port of many hacks to a new board release beside the upgrade check of the same hacks
// and releases, and diff3 -m over the same files as an anchor, and measures the peak memory.
//   port_bench                          200 hacks of 10 mods, 2,000 files of 64 KiB, 10 % changed
//   port_bench HACKS MODS FILES         one size, no targets judged
// Exit status 2 when a step cannot run; without arguments, 1 when a figure misses its target: the
// port within 30 s and twice the upgrade check, peak memory under 256 MiB.
#include "install_board.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/scripted_dialogs.h"
#include "boardcheck/board_check.h"
#include "boardcheck/hack_port.h"
#include "boardcheck/hack_trials.h"
#include "core/catalogue_operations.h"
#include "database/recordset.h"
#include "install/trial_installation.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace zp {
namespace {

constexpr int kHooks = 20; // hook lines per file
constexpr int kLines = 1800; // lines of about 36 bytes: 64 KiB

QString Path(const QString& root, int file)
{
    return root + "/cgi-bin/" + bench::FolderOfFile(file) + "/" + bench::NameOfFile(file);
}

QString Hook(int file, int hook)
{
    return QStringLiteral("# hook %1-%2 ##").arg(file).arg(hook);
}

// The lines of board file n: filler, with hook k at line 90 k + 45.
QStringList BoardLines(int file)
{
    QStringList lines;
    for (int i = 0; i < kLines; ++i)
        lines << (i % 90 == 45 ? Hook(file, i / 90) : QStringLiteral("print \"line %1 of %2\";").arg(i).arg(file));
    return lines;
}

// The release changes every tenth file: lines added at the top and in the middle, a line above
// every fourth hook changed, every fifth hook copied near the top, one hook's own line changed.
QStringList ReleaseLines(int file)
{
    QStringList lines = BoardLines(file);
    if (file % 10 != 0)
        return lines;
    for (int k = kHooks - 1; k >= 0; --k) {
        const int at = k * 90 + 45;
        if (k % 4 == 1)
            lines[at - 1] += " # changed";
        if (k == 7)
            lines[at] += " changed";
    }
    lines.insert(kLines / 2, "print \"new in the release\";");
    for (int k = 0; k < kHooks; k += 5)
        lines.insert(2, Hook(file, k));
    lines.insert(0, "#!/usr/bin/perl -w");
    return lines;
}

void WriteBoard(const QString& root, int files, QStringList (*linesOf)(int))
{
    for (int f = 0; f < 20; ++f)
        QDir().mkpath(root + "/cgi-bin/" + bench::FolderOfFile(f));
    for (int n = 0; n < files; ++n)
        bench::WriteFile(Path(root, n), (linesOf(n).join("\r\n") + "\r\n").toUtf8());
}

// Hack h changes 1 + h % 5 files, its mods at distinct hooks, the six actions in turn, every fourth
// with the line above its hook in its old data.
std::vector<int> AddHacks(AppState& state, int hacks, int mods, int files)
{
    unsigned seed = 4242;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) & 0x7fff);
    };
    std::vector<int> numbers;
    for (int h = 0; h < hacks; ++h) {
        const int hack = CreateHack(state, [h](Recordset& info) {
            info.SetValue("Name", QStringLiteral("Hack %1").arg(h, 3, 10, QChar('0')));
            info.SetValue("Version", "1.0");
            info.SetValue("HackType", 0);
        });
        numbers.push_back(hack);
        std::vector<int> touched;
        for (int f = 0; f < 1 + h % 5; ++f)
            touched.push_back(next() % files);
        const int first = next();
        bench::StoreMods(state, hack, mods, [&](int m) {
            const int file = touched[size_t(m) % touched.size()];
            const int hook = (first + m) % kHooks;
            const QString above = QStringLiteral("print \"line %1 of %2\";").arg(hook * 90 + 44).arg(file);
            const QString old = m % 4 == 1 ? above + "\r\n" + Hook(file, hook) : Hook(file, hook);
            const int action = m % 6;
            const QString added = QStringLiteral("# hack %1 mod %2").arg(h).arg(m);
            return bench::Mod {bench::NameOfFile(file),
                               "/" + bench::FolderOfFile(file),
                               action,
                               1,
                               old,
                               action == Replace      ? old + "\r\n" + added
                                   : action == Delete ? QString()
                                                      : added};
        });
    }
    return numbers;
}

// diff3 -m over each file a hack changes: the hack's text over the old release, the old release's,
// the new release's. The trials are not timed.
double Diff3Seconds(AppState& state, const QString& from, const std::vector<int>& hacks, int& files)
{
    double seconds = 0;
    for (const int hack : hacks) {
        SelectHackNum(state, hack, -1, ModsRead::ByTheJob);
        TrialInstallation trial(from);
        TryHack(state, hack, trial);
        for (const TrialInstallation::File& file : trial.Files()) {
            const QString theirs = file.origin;
            QString release = theirs;
            release.replace(from, from + "/../release");
            seconds += bench::Seconds([&] {
                QProcess diff3;
                diff3.start("diff3", {"-m", file.workFile, file.origin, release});
                diff3.waitForFinished(-1);
                diff3.readAllStandardOutput();
            });
            ++files;
        }
    }
    return seconds;
}

int Run(int hacks, int mods, int files, bool judge)
{
    QTemporaryDir home;
    const QString from = home.filePath("board");
    const QString to = home.filePath("release");
    WriteBoard(from, files, BoardLines);
    WriteBoard(to, files, ReleaseLines);
    const bench::Board board {home.path(), from, home.filePath("out"), 0};
    ScriptedDialogs dialogs;
    AppState state(home.path(), dialogs);
    bench::OpenBoardDatabase(state, board);
    const std::vector<int> numbers = AddHacks(state, hacks, mods, files);

    // The port first, so that the peak memory is its own.
    PortRequest request;
    request.from = from;
    request.to = to;
    request.store = true;
    PortResult port;
    const double portSeconds = bench::Seconds([&] { port = RunPort(state, request); });
    const double peak = bench::PeakMiB();
    int ported = 0, gaps = 0, modsFor[6] = {};
    for (const PortedHack& hack : port.Hacks) {
        ported += hack.StoredAs != 0;
        gaps += hack.Verdict != HackVerdict::Ported;
        for (const PortedMod& mod : hack.Mods)
            ++modsFor[int(mod.Verdict)];
    }

    UpgradeCheckResult upgrade;
    const double upgradeSeconds = bench::Seconds([&] { upgrade = RunUpgradeCheck(state, to, from, numbers); });
    int diffed = 0;
    const double diff3Seconds = Diff3Seconds(state, from, numbers, diffed);

    std::printf("check-upgrade: %d hacks of %d mods over %d files in %.2f s\n", hacks, mods, files, upgradeSeconds);
    std::printf("port: %d hacks of %d mods in %.2f s (%.2fx check-upgrade); %d stored, %d with mods for a person; "
                "peak RSS %.0f MiB\n",
                hacks,
                mods,
                portSeconds,
                portSeconds / upgradeSeconds,
                ported,
                gaps,
                peak);
    std::printf("port verdicts: %d unchanged, %d re-counted, %d re-anchored, %d already in release, %d need a person\n",
                modsFor[0],
                modsFor[1],
                modsFor[2],
                modsFor[3],
                modsFor[4]);
    std::printf("diff3 -m: %d files in %.2f s\n", diffed, diff3Seconds);
    CloseDatabase(state);
    if (port.Hacks.size() != size_t(hacks) || upgrade.Rows.size() != size_t(hacks))
        return 2;
    if (!judge)
        return 0;
    return portSeconds <= 30 && portSeconds <= 2 * upgradeSeconds && peak < 256 ? 0 : 1;
}

} // namespace
} // namespace zp

int main(int argc, char** argv)
{
    if (argc == 4)
        return zp::Run(std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3]), false);
    if (argc != 1) {
        std::fprintf(stderr, "usage: port_bench [HACKS MODS FILES]\n");
        return 2;
    }
    return zp::Run(200, 10, 2000, true);
}
