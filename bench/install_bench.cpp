// Times the installation and the analysis of a large synthetic hack against `patch -p1` applying
// the same changes as a unified diff, and one "All" replacement in a 4 MiB file.
//   install_bench [SMALL_FILES BIG_FILES MODS_PER_BIG_FILE]   (default 1900 100 10)
// Exit status 2 when a mod failed; at the default size, 1 when a time is over its target (install
// no slower than patch, analysis at most half the install, the replacement under half a second).
#include "analysis/analysis_run.h"
#include "app/app_state.h"
#include "app/common.h"
#include "app/configuration.h"
#include "app/scripted_dialogs.h"
#include "database/database.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "install/install_log.h"
#include "install/installation_run.h"
#include "install/modification_engine.h"
#include "install/work_buffer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/resource.h>

namespace zp {
namespace {

constexpr int kFolders = 20;
constexpr qsizetype kBigFileBytes = 256 * 1024;

double Seconds(const std::function<void()>& job)
{
    const auto start = std::chrono::steady_clock::now();
    job();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best of three runs; prepare() runs before each, untimed.
double Best(const std::function<void()>& prepare, const std::function<void()>& job)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        prepare();
        best = std::min(best, Seconds(job));
    }
    return best;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(2);
    }
}

void Shell(const QString& command)
{
    if (std::system(command.toLocal8Bit().constData()) != 0) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(command));
        std::exit(2);
    }
}

QString FolderOfFile(int n)
{
    return QStringLiteral("d%1").arg(n % kFolders, 2, 10, QChar('0'));
}
QString NameOfFile(int n)
{
    return QStringLiteral("f%1.cgi").arg(n, 4, 10, QChar('0'));
}

// A big board file: numbered script lines, with a unique hook line for every mod and a
// repeated token line for the "All" mods.
QByteArray BigFile(int file, int mods)
{
    QByteArray text;
    text.reserve(kBigFileBytes + 1024);
    for (int line = 0; text.size() < kBigFileBytes; ++line) {
        text
            += "    $value{" + QByteArray::number(line) + "} = &lookup('field', " + QByteArray::number(file) + ");\r\n";
        const int slot = line % 300;
        if (slot < mods)
            text += "# hook " + QByteArray::number(file) + "-" + QByteArray::number(slot) + " ##\r\n";
        if (line % 97 == 0)
            text += "token-" + QByteArray::number(line % (97 * mods) / 97) + "\r\n";
    }
    return text;
}

struct Board
{
    QString home, source, output;
    int bigFiles = 0;
};

Board GenerateBoard(const QString& home, int smallFiles, int bigFiles, int modsPerFile)
{
    Board board {home, home + "/board", home + "/out", bigFiles};
    for (int f = 0; f < kFolders; ++f)
        QDir().mkpath(board.source + "/cgi-bin/" + FolderOfFile(f));
    const QByteArray small = QByteArray("print \"small board file\";\r\n").repeated(36);
    for (int n = 0; n < smallFiles + bigFiles; ++n) {
        const QString path = board.source + "/cgi-bin/" + FolderOfFile(n) + "/" + NameOfFile(n);
        WriteFile(path, n < bigFiles ? BigFile(n, modsPerFile) : small);
    }
    return board;
}

void AddMods(AppState& state, int hack, int bigFiles, int modsPerFile)
{
    Transaction transaction(state.Connection);
    Recordset mods(state.Connection);
    mods.Open(sql::SelectHackData);
    int order = 1;
    for (int file = 0; file < bigFiles; ++file) {
        for (int k = 0; k < modsPerFile; ++k) {
            const bool all = k % 3 == 0;
            mods.AddNew();
            mods.SetValue("HackNum", hack);
            mods.SetValue("ModOrder", order++);
            mods.SetValue("FileName", NameOfFile(file));
            mods.SetValue("PrimaryDir", 0);
            mods.SetValue("ExtendDir", "/" + FolderOfFile(file));
            mods.SetValue("ActionType", k % 6);
            mods.SetValue("ModInst", all ? 0 : 1);
            mods.SetValue("OldData",
                          all ? QStringLiteral("token-%1").arg(k) : QStringLiteral("# hook %1-%2 ##").arg(file).arg(k));
            mods.SetValue("NewData", QStringLiteral("# added by mod %1\r\nsub hook%1 { return 1; }").arg(order));
            mods.Update();
        }
    }
    transaction.Commit();
}

class BenchHost : public InstallationHost
{
public:
    bool SearchOutputFirst() const override { return false; }
    bool DeleteOutputFirst() const override { return false; }
    bool OverwriteSource() const override { return false; }
    bool LfLineEnds() const override { return false; }
    void AppendInstructionLine(const QString&) override { }
};

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
    Database::CreateNew(board.home + "/" + Database::FileName);
    OpenDatabase(state);
    OptionsValues options;
    options.SourceDir = board.source;
    options.OutputDir = board.output;
    options.ubbCGIDir = QStringLiteral("cgi-bin");
    SaveOptions(state, options);
    LoadConfiguration(state, nullptr);

    Recordset& info = *state.HackInfoRecordset;
    info.ReOpen(sql::SelectHackInfo);
    info.AddNew();
    info.SetValue("Name", QStringLiteral("Benchmark"));
    info.SetValue("HackType", 0);
    info.Update();
    state.CurrentHackNum = static_cast<qint16>(info.Value("HackNum").toInt());
    info.ReOpen(sql::SelectHackInfo);
    info.MoveFirst();
    AddMods(state, state.CurrentHackNum, bigFiles, modsPerFile);

    RecordingLog log;
    BenchHost host;
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
