// Times the installation and the analysis of a large synthetic hack against `patch -p1` applying
// the same changes as a unified diff, and one "All" replacement in a 4 MiB file.
//   install_bench [SMALL_FILES BIG_FILES MODS_PER_BIG_FILE]   (default 1900 100 10)
// Exit status 2 when a mod failed; at the default size, 1 when a time is over its target (install
// no slower than patch, analysis at most half the install, the replacement under half a second).
#include "install_board.h"

#include "analysis/analysis_run.h"
#include "app/app_state.h"
#include "app/common.h"
#include "app/scripted_dialogs.h"
#include "install/install_log.h"
#include "install/installation_run.h"
#include "install/modification_engine.h"
#include "install/work_buffer.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace zp {
namespace {

using namespace bench;

void Shell(const QString& command)
{
    if (std::system(command.toLocal8Bit().constData()) != 0) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(command));
        std::exit(2);
    }
}

double AllReplaceIn4MiB()
{
    QString text;
    text.reserve(4 * 1024 * 1024 + 64);
    for (int line = 0; text.size() < 4 * 1024 * 1024; ++line) {
        text += line % 10 == 0 ? QStringLiteral("    print $Old_Token; # %1\r\n").arg(line)
                               : QStringLiteral("    $counter{%1} += 1; # nothing to see\r\n").arg(line);
    }
    WorkBuffer buffer;
    RecordingLog log;
    const ModRecord mod {Replace, 0, QStringLiteral("$old_token"), QStringLiteral("$New_Token_Longer"), "f", ""};
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        buffer.SetText(text);
        best = std::min(best, Seconds([&] { ApplyMod(buffer, mod, log); }));
    }
    std::printf("4 MiB file, \"All\" Replace of %lld occurrences: %.3f s\n",
                static_cast<long long>(text.count(QStringLiteral("$old_token"), Qt::CaseInsensitive)),
                best);
    return best;
}

int Run(int smallFiles, int bigFiles, int modsPerFile, bool judgeTimes)
{
    QTemporaryDir temp;
    const Board board = GenerateBoard(temp.path(), smallFiles, bigFiles, modsPerFile);
    ScriptedDialogs dialogs;
    AppState state(board.home, dialogs);
    OpenBoardDatabase(state, board);
    AddMods(state, AddBenchmarkHack(state), bigFiles, modsPerFile);

    RecordingLog log;
    DefaultOptions host;
    const double analysis = Best([&] { log.Clear(); }, [&] { RunAnalysis(state, log); });
    const bool analysisRed = log.AnyRed();
    const double install = Best([] {}, [&] { RunInstallation(state, host, log); });
    const bool modsFailed = log.AnyRed() || analysisRed;
    if (modsFailed)
        std::printf("some mods failed\n");

    // The same changes as a unified diff, applied by patch to fresh copies of the board.
    const QString diff = board.home + "/changes.diff";
    Shell(QStringLiteral("cd '%1' && cp -r board a && cp -r out b && (cd b && find . -type f -printf '%P\\n' | sort) | "
                         "while read f; do diff -u \"a/$f\" \"b/$f\"; done > changes.diff; rm -rf a b")
              .arg(board.home));
    const QString copy = board.home + "/patched";
    const double patch = Best([&] { Shell(QStringLiteral("rm -rf '%1' && cp -r '%2' '%1'").arg(copy, board.source)); },
                              [&] { Shell(QStringLiteral("patch -p1 -s -d '%1' < '%2'").arg(copy, diff)); });
    Shell(QStringLiteral("cd '%1' && (cd out && find . -type f -printf '%P\\n') | while read f; do "
                         "cmp -s \"out/$f\" \"patched/$f\" || echo \"patched copy differs: $f\"; done")
              .arg(board.home));

    rusage self {}, children {};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    std::printf("board: %d files (%d of 256 KiB), %d mods; diff %lld bytes\n",
                smallFiles + bigFiles,
                bigFiles,
                bigFiles * modsPerFile,
                static_cast<long long>(QFileInfo(diff).size()));
    std::printf("install:  %.3f s\nanalysis: %.3f s (%.2fx install)\npatch -p1: %.3f s (install %.2fx patch)\n",
                install,
                analysis,
                analysis / install,
                patch,
                install / patch);
    const double all = AllReplaceIn4MiB();
    std::printf("peak RSS: %ld KiB (largest child %ld KiB)\n", self.ru_maxrss, children.ru_maxrss);
    CloseDatabase(state);
    if (modsFailed)
        return 2;
    return !judgeTimes || (install <= patch && analysis <= 0.5 * install && all < 0.5) ? 0 : 1;
}

} // namespace
} // namespace zp

int main(int argc, char** argv)
{
    const int smallFiles = argc > 3 ? std::atoi(argv[1]) : 1900;
    const int bigFiles = argc > 3 ? std::atoi(argv[2]) : 100;
    const int mods = argc > 3 ? std::atoi(argv[3]) : 10;
    return zp::Run(smallFiles, bigFiles, mods, argc <= 3);
}
