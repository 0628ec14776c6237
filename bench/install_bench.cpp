// Times the installation and the analysis of a large synthetic hack against `patch -p1` applying
// the same changes as a unified diff, splits the installation's time into its parts, times one
// "All" replacement in a 4 MiB file, and measures the peak memory of `zenpatch-cli install` on a
// board whose largest file is 64 MiB. Times zenpatch-cli diff against zenpatch-cli install followed
// by diff -ruN.
//   install_bench                          two sizes: 1,000 mods over 100 files of 256 KiB (2,000
//                                          files in the board) and 10,000 mods over 500 such files
//   install_bench SMALL_FILES BIG_FILES MODS_PER_BIG_FILE   one size, no targets judged
// Exit status 2 when a mod failed or the result differs from patch's; without arguments, 1 when a
// figure misses its target: install no slower than patch, analysis at most half the install, the
// replacement under half a second, peak memory under 5 times the 64 MiB file plus 32 MiB.
#include "analysis/analysis_run.h"
#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "app/configuration.h"
#include "app/scripted_dialogs.h"
#include "app/whole_file.h"
#include "core/board_text.h"
#include "core/install_log.h"
#include "database/database.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "engine/mod_target.h"
#include "engine/modification_engine.h"
#include "engine/work_buffer.h"
#include "install/installation_run.h"
#include "install_board.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

namespace zp {
namespace {

constexpr qsizetype kHugeFileBytes = 64 * 1024 * 1024;

using bench::Best;
using bench::ChildRun;
using bench::kBigFileBytes;
using bench::RunChild;
using bench::Seconds;

[[noreturn]] void Fail(const QString& what)
{
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::exit(2);
}

void Shell(const QString& command)
{
    if (std::system(command.toLocal8Bit().constData()) != 0)
        Fail("failed: " + command);
}

struct Size
{
    int smallFiles, bigFiles, modsPerFile;
};

// A program folder with a database, a board in home/board, an output folder home/out and one hack
// whose mods change the big files.
class Board
{
public:
    Board(const Size& size, qsizetype bigFileBytes)
        : size_(size)
        , board_(bench::GenerateBoard(temp_.path(), size.smallFiles, size.bigFiles, size.modsPerFile, bigFileBytes))
        , state(temp_.path(), dialogs_)
    {
        bench::OpenBoardDatabase(state, board_, true); // zenpatch-cli does what RunInstallation does here
        bench::AddMods(state, bench::AddBenchmarkHack(state), size.bigFiles, size.modsPerFile);
    }
    ~Board() { CloseDatabase(state); }

    QString Home() const { return board_.home; }
    QString Source() const { return board_.source; }
    QString Output() const { return board_.output; }
    int Mods() const { return size_.bigFiles * size_.modsPerFile; }

private:
    QTemporaryDir temp_;
    Size size_;
    bench::Board board_;
    ScriptedDialogs dialogs_;

public:
    AppState state;
};

// Where an installation's time goes, measured by running its steps one by one, on one thread, over
// the same board: the database (opening it with its key, reading the mods), reading and decoding the
// board files, searching and changing them (with folding the text), encoding and saving them into
// a work folder, and putting them in place (one flush, then the renames). The installation itself
// works on several files at once, so its time is less than the sum.
struct Split
{
    double database = 0, load = 0, search = 0, save = 0, move = 0;
};

Split MeasureSplit(Board& board)
{
    AppState& state = board.state;
    Split split;
    CloseDatabase(state);
    split.database = Seconds([&] { OpenDatabase(state); });
    Recordset& mods = *state.HackDataRecordset;
    std::map<QString, std::vector<ModRecord>> byFile;
    split.database += Seconds([&] {
        mods.ReOpen(sql::SelectHackDataOf + QString::number(state.CurrentHackNum) + sql::OrderByFileNameModOrder);
        for (mods.MoveFirst(); !mods.EOF(); mods.MoveNext())
            byFile[ModTargetFrom(CurrentLayout(state), mods).relativePath].push_back(ModRecordFrom(mods));
    });
    const QString work = board.Home() + "/split-work";
    const QString output = board.Home() + "/split-out";
    WorkBuffer buffer;
    RecordingLog log;
    for (const auto& entry : byFile) {
        // Named, not bound: clang 14 (the fuzz build) cannot capture structured bindings.
        const QString& relative = entry.first;
        const std::vector<ModRecord>& fileMods = entry.second;
        BoardText text;
        split.load += Seconds([&] {
            QFile file(board.Source() + "/" + relative);
            if (!file.open(QIODevice::ReadOnly))
                Fail("cannot read " + file.fileName());
            text = DecodeBoardText(file.readAll());
        });
        split.search += Seconds([&] {
            buffer.SetText(std::move(text.text));
            for (const ModRecord& mod : fileMods)
                ApplyMod(buffer, mod, log);
        });
        split.save += Seconds([&] {
            QDir().mkpath(QFileInfo(work + "/" + relative).path());
            buffer.SaveFile(work + "/" + relative, false);
        });
    }
    split.move = Seconds([&] {
        WholeFileBatch batch(state.ProgramFolder);
        for (const auto& entry : byFile)
            batch.Stage(work + "/" + entry.first, output, entry.first);
        batch.Commit([](const QString& relative, const QString& reason) { Fail(relative + ": " + reason); });
    });
    DeleteFolderTree(work);
    DeleteFolderTree(output);
    return split;
}

// The same changes as a unified diff applied by patch to fresh copies of the board; exits when
// patch's result differs from the installation's. A copy is on the disk before patch works on it, as
// a board is (`sync`), unless `onDisk` is false: then patch replaces files that were written a
// moment before and are still only in memory, whose space was never taken on the disk and costs
// nothing to give back.
double PatchSeconds(const Board& board, bool onDisk = true)
{
    const QString home = board.Home();
    Shell(QStringLiteral("cd '%1' && cp -r board a && cp -r out b && (cd b && find . -type f -printf '%P\\n' | sort) | "
                         "while read f; do diff -u \"a/$f\" \"b/$f\"; done > changes.diff; rm -rf a b")
              .arg(home));
    const QString copy = home + "/patched";
    const QString flush = onDisk ? QStringLiteral(" && sync") : QString();
    const double seconds
        = Best([&] { Shell(QStringLiteral("rm -rf '%1' && cp -r '%2' '%1'%3").arg(copy, board.Source(), flush)); },
               [&] { Shell(QStringLiteral("patch -p1 -s -d '%1' < '%2/changes.diff'").arg(copy, home)); });
    Shell(QStringLiteral("cd '%1' && (cd out && find . -type f -printf '%P\\n') | while read f; do "
                         "cmp -s \"out/$f\" \"patched/$f\" || { echo \"patched copy differs: $f\"; exit 1; }; done")
              .arg(home));
    Shell(QStringLiteral("rm -rf '%1' '%2/changes.diff'").arg(copy, home));
    return seconds;
}

QString BenchFolder()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section('/', 0, -2);
}

// Runs a program with the arguments, its standard output thrown away; its wall time and peak RSS in
// KiB. Ends the benchmark when it exits with a status above okStatus.
std::pair<double, long> RunProgram(const QString& path, const QStringList& arguments, int okStatus = 0)
{
    std::vector<std::string> argv {QFile::encodeName(path).toStdString()};
    for (const QString& argument : arguments)
        argv.push_back(argument.toLocal8Bit().toStdString());
    const ChildRun run = RunChild(argv, "/dev/null");
    if (run.status < 0 || run.status > okStatus)
        Fail(path + " " + arguments.join(' ') + " failed");
    return {run.seconds, run.peakRssKiB};
}

std::pair<double, long> RunCli(const QStringList& arguments)
{
    return RunProgram(BenchFolder() + "/zenpatch-cli", arguments);
}

// Waits (untimed, up to ten seconds) until the old output files that the last zenpatch-cli install
// handed to an `rm` of its own are gone: one command's time, not the clean-up of the one before it,
// which no person starts within milliseconds of the next.
void AwaitRemovals(const QString& home)
{
    for (int wait = 0; wait < 1000 && !QDir(home).entryList({"zpk_inst_temp.old-*"}, QDir::Dirs).isEmpty(); ++wait)
        QThread::msleep(10);
}

// zenpatch-cli diff against zenpatch-cli install followed by diff -ruN of the source and output
// folders (status 1 of diff: the folders differ), each the best of three, with peak RSS.
QString DiffAgainstInstallAndDiff(const Board& board, const QString& hack)
{
    std::pair<double, long> preview {1e9, 0}, install {1e9, 0}, compare {1e9, 0};
    const auto keep = [](std::pair<double, long>& best, const std::pair<double, long>& run) {
        best = {std::min(best.first, run.first), std::max(best.second, run.second)};
    };
    for (int i = 0; i < 3; ++i) {
        keep(preview, RunCli({"--home", board.Home(), "diff", hack}));
        DeleteFolderTree(board.Output());
        AwaitRemovals(board.Home());
        keep(install, RunCli({"--home", board.Home(), "install", hack}));
        keep(compare, RunProgram("/usr/bin/diff", {"-ruN", board.Source(), board.Output()}, 1));
    }
    return QString::asprintf("zenpatch-cli diff: %.3f s, peak RSS %.0f MiB; install + diff -ruN: %.3f s (%.3f + "
                             "%.3f), peak RSS %.0f / %.0f MiB",
                             preview.first,
                             preview.second / 1024.0,
                             install.first + compare.first,
                             install.first,
                             compare.first,
                             install.second / 1024.0,
                             compare.second / 1024.0);
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

struct Figures
{
    double install, analysis, patch;
};

Figures RunSize(const Size& size)
{
    Board board(size, kBigFileBytes);
    RecordingLog log;
    bench::DefaultOptions host;
    const double analysis
        = Best([&] { log.Clear(); }, [&] { RunAnalysis(board.state, board.state.CurrentHackNum, log); });
    const bool analysisRed = log.AnyRed();
    const double install = Best([] {}, [&] { RunInstallation(board.state, board.state.CurrentHackNum, host, log); });
    if (log.AnyRed() || analysisRed)
        Fail("some mods failed");
    const double patch = PatchSeconds(board);
    const double patchInMemory = PatchSeconds(board, false);
    const Split split = MeasureSplit(board);
    CloseDatabase(board.state);
    const QString hack = QString::number(board.state.CurrentHackNum);
    const double cli = Best([&] { AwaitRemovals(board.Home()); },
                            [&] {
                                RunCli({"--home", board.Home(), "install", hack});
                            });
    const QString diff = DiffAgainstInstallAndDiff(board, hack);
    OpenDatabase(board.state);

    const double mib = size.bigFiles * double(kBigFileBytes) / (1024 * 1024);
    std::printf("\nboard: %d files (%d of 256 KiB, %.1f MiB touched), %d mods\n",
                size.smallFiles + size.bigFiles,
                size.bigFiles,
                mib,
                board.Mods());
    std::printf("install:   %.3f s (%.2fx patch; %.2f ms per MiB touched + 100 mods)\n",
                install,
                install / patch,
                1000 * install / (mib + board.Mods() / 100.0));
    std::printf("analysis:  %.3f s (%.2fx install)\npatch -p1: %.3f s\n", analysis, analysis / install, patch);
    std::printf("patch -p1 on a copy not yet on the disk: %.3f s\n", patchInMemory);
    std::printf("zenpatch-cli install: %.3f s (opening the database included; %.2fx patch -p1, %.2fx on a copy not yet "
                "on the disk)\n%s\n",
                cli,
                cli / patch,
                cli / patchInMemory,
                qPrintable(diff));
    std::printf("split: database %.3f s, load/decode %.3f s, search and change %.3f s, save/encode %.3f s, "
                "flush and move %.3f s\n",
                split.database,
                split.load,
                split.search,
                split.save,
                split.move);
    return {install, analysis, patch};
}

// Peak RSS of zenpatch-cli installing 10 mods into one 64 MiB board file, with CR LF and LF line
// ends; true when both are under 5 times the file plus 32 MiB.
bool HugeFileMemory()
{
    Board board({0, 1, 10}, kHugeFileBytes);
    CloseDatabase(board.state);
    const QString hack = QString::number(board.state.CurrentHackNum);
    bool withinTarget = true;
    for (const char* eol : {"crlf", "lf"}) {
        const auto [seconds, rss] = RunCli({"--home", board.Home(), "install", hack, "--eol", eol});
        const double mib = rss / 1024.0;
        std::printf("64 MiB board file, --eol %s: %.2f s, peak RSS %.0f MiB (%.1fx the file; target under %d MiB)\n",
                    eol,
                    seconds,
                    mib,
                    mib / 64,
                    5 * 64 + 32);
        withinTarget = withinTarget && mib < 5 * 64 + 32;
    }
    OpenDatabase(board.state);
    return withinTarget;
}

} // namespace
} // namespace zp

int main(int argc, char** argv)
{
    using namespace zp;
    if (argc > 3) {
        RunSize({std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3])});
        return 0;
    }
    bool met = true;
    for (const Size& size : {Size {1900, 100, 10}, Size {1500, 500, 20}}) {
        const Figures figures = RunSize(size);
        met = met && figures.install <= figures.patch && figures.analysis <= 0.5 * figures.install;
    }
    std::printf("\n");
    met = AllReplaceIn4MiB() < 0.5 && met;
    met = HugeFileMemory() && met;
    return met ? 0 : 1;
}
