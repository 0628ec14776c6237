// Times the hack list rows of a catalogue of 10,000 hacks (20 mods and 2 support files each) and
// the storing and reading back of a 100 MiB support file in 16 KiB chunks, with the peak RSS,
// and runs the equivalent work in the sqlcipher shell for comparison.
//
//   database_bench [HACKS [MIB]]     (defaults 10000 and 100)
#include "app/app_state.h"
#include "app/common.h"
#include "app/scripted_dialogs.h"
#include "bench/timing.h"
#include "core/catalogue_operations.h"
#include "database/sql.h"
#include "database/statement.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

using namespace zp;
using bench::PeakRssKiB;

namespace {

long CurrentRssKiB()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    const auto match = QRegularExpression("VmRSS:\\s+(\\d+)").match(QString::fromLatin1(status.readAll()));
    return match.captured(1).toLong();
}

double CpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Median wall-clock and CPU time of `runs` runs, in ms (the CPU time shows the cost on a busy machine).
struct Timing
{
    double wallMs;
    double cpuMs;
};

template <typename F>
Timing Median(int runs, F&& work)
{
    std::vector<double> walls, cpus;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const double cpu = CpuMs();
        work();
        cpus.push_back(CpuMs() - cpu);
        walls.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

// Runs SQL in the sqlcipher shell with ".timer on" and returns the wall-clock and CPU (user + sys)
// time of each statement.
std::vector<Timing> ShellTimes(const QString& database, const QString& statements, long* peakKiB = nullptr)
{
    QProcess shell;
    shell.start("sqlcipher", {database});
    // The first statement derives the key; its time is left out.
    shell.write(QStringLiteral("PRAGMA key = '%1';\nPRAGMA cipher_page_size = 65536;\n.output /dev/null\n.timer "
                               "on\nSELECT count(*) FROM sqlite_master;\n%2\n")
                    .arg(Database::Key, statements)
                    .toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(-1);
    std::vector<Timing> times;
    const QString output = QString::fromUtf8(shell.readAllStandardOutput() + shell.readAllStandardError());
    auto it = QRegularExpression("Run Time: real ([0-9.]+) user ([0-9.]+) sys ([0-9.]+)").globalMatch(output);
    while (it.hasNext()) {
        const auto match = it.next();
        times.push_back({match.captured(1).toDouble() * 1000,
                         (match.captured(2).toDouble() + match.captured(3).toDouble()) * 1000});
    }
    if (!times.empty())
        times.erase(times.begin());
    if (peakKiB)
        *peakKiB = PeakRssKiB(RUSAGE_CHILDREN);
    return times;
}

void FillCatalogue(Database& db, int hacks)
{
    Transaction transaction(db);
    Statement hack(db.Handle(),
                   "INSERT INTO [HackInfo] ([Name], [Version], [AuthName], [HackType], [LastMod]) "
                   "VALUES (?, '1.0', 'Author', 0, '12-06-2001 2:49am')");
    Statement mod(db.Handle(),
                  "INSERT INTO [HackData] ([HackNum], [ModOrder], [FileName], [PrimaryDir], [ActionType], "
                  "[ModInst], [OldData], [NewData]) VALUES (?, ?, ?, 0, 1, 0, ?, ?)");
    Statement file(db.Handle(),
                   "INSERT INTO [HackFiles] ([HackNum], [FileName], [Location], [FileData]) VALUES (?, ?, 0, ?)");
    const QByteArray fileBytes(2048, 'x');
    for (int h = 1; h <= hacks; ++h) {
        hack.Bind(1, QStringLiteral("Hack %1").arg((h * 7919) % hacks, 5, 10, QLatin1Char('0')));
        hack.Step();
        hack.Reset();
        for (int m = 1; m <= 20; ++m) {
            mod.Bind(1, h);
            mod.Bind(2, m);
            mod.Bind(3, QStringLiteral("file%1.cgi").arg(m % 5));
            mod.Bind(4, QStringLiteral("old text of mod %1 that the board file holds\r\n").arg(m));
            mod.Bind(5, QStringLiteral("new text of mod %1 to add after it\r\n").arg(m));
            mod.Step();
            mod.Reset();
        }
        for (int f = 1; f <= 2; ++f) {
            file.Bind(1, h);
            file.Bind(2, QStringLiteral("support%1.gif").arg(f));
            file.Bind(3, fileBytes);
            file.Step();
            file.Reset();
        }
    }
    transaction.Commit();
}

// The hack list as the list window first built it: one support-file query per hack.
int PerHackListRows(AppState& state)
{
    Recordset& hacks = *state.HackInfoRecordset;
    hacks.ReOpen(sql::SelectHackInfo);
    int cells = 0;
    for (; !hacks.EOF(); hacks.MoveNext()) {
        state.HackFilesRecordset->ReOpen(sql::SelectHackFilesOf + hacks.Text("HackNum"));
        cells += QStringList {hacks.Text("Name"),
                              hacks.Text("Version"),
                              hacks.Text("AuthName"),
                              QString::number(state.HackFilesRecordset->RecordCount()),
                              hacks.Text("LastMod"),
                              hacks.Text("LastInstall")}
                     .size();
        state.HackFilesRecordset->Close();
    }
    return cells;
}

// False when the support file read back differs in size from the one stored.
bool SupportFileBench(AppState& state, const QString& folder, int mib)
{
    const QString input = folder + "/big.bin";
    const QString output = folder + "/big.out";
    {
        QFile file(input);
        file.open(QIODevice::WriteOnly);
        QByteArray block(1 << 20, Qt::Uninitialized);
        for (int i = 0; i < mib; ++i) {
            std::fill(block.begin(), block.end(), char(i));
            file.write(block);
        }
    }
    sync(); // the input's writing back would otherwise hold up the timed writes
    const long rssBefore = CurrentRssKiB();
    Recordset& files = *state.HackFilesRecordset;
    const Timing store = Median(1, [&] {
        files.ReOpen(QString(sql::SelectHackFilesOf) + "0");
        files.AddNew();
        files.SetValue("HackNum", 0);
        files.SetValue("FileName", "big.bin");
        files.SetBlobFromFile("FileData", input);
        files.Update();
    });
    const Timing read = Median(1, [&] {
        files.ReOpen(QString(sql::SelectHackFilesOf) + "0");
        QFile out(output);
        out.open(QIODevice::WriteOnly);
        for (QByteArray chunk = files.GetChunk("FileData", 16384); !chunk.isEmpty();
             chunk = files.GetChunk("FileData", 16384))
            out.write(chunk);
    });
    files.Close();
    const bool same = QFileInfo(output).size() == QFileInfo(input).size();

    std::printf("%d MiB support file (%s), wall / CPU ms:\n", mib, same ? "sizes match" : "SIZE MISMATCH");
    std::printf(
        "  ours:  store %.0f / %.0f, read back in 16 KiB chunks %.0f / %.0f; RSS before %.1f MiB, peak %.1f MiB\n",
        store.wallMs,
        store.cpuMs,
        read.wallMs,
        read.cpuMs,
        rssBefore / 1024.0,
        PeakRssKiB() / 1024.0);

    long shellPeak = 0;
    const auto shell = ShellTimes(state.Connection.Path(),
                                  QStringLiteral("INSERT INTO HackFiles (HackNum, FileName, FileData) "
                                                 "VALUES (-1, 'big.bin', randomblob(%1));\n"
                                                 "SELECT length(FileData || x'') FROM HackFiles WHERE HackNum = -1;")
                                      .arg(qint64(mib) << 20),
                                  &shellPeak);
    if (shell.size() >= 2)
        std::printf("  shell: store %.0f / %.0f, read whole value %.0f / %.0f; peak %.1f MiB "
                    "(randomblob and a concatenation hold the value in memory)\n",
                    shell[0].wallMs,
                    shell[0].cpuMs,
                    shell[1].wallMs,
                    shell[1].cpuMs,
                    shellPeak / 1024.0);
    QFile::remove(input);
    QFile::remove(output);
    state.Connection.Execute("DELETE FROM [HackFiles] WHERE [HackNum] <= 0");
    return same;
}

} // namespace

int main(int argc, char** argv)
{
    const int hacks = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int mib = argc > 2 ? std::atoi(argv[2]) : 100;
    QTemporaryDir folder;
    Database::CreateNew(folder.filePath(Database::FileName));
    ScriptedDialogs dialogs;
    AppState state(folder.path(), dialogs);
    OpenDatabase(state);

    // First, so that the peak RSS is the support file's own.
    const bool supportFileSame = SupportFileBench(state, folder.path(), mib);

    const Timing fill = Median(1, [&] { FillCatalogue(state.Connection, hacks); });
    std::printf("\ncatalogue of %d hacks, %d mods, %d support files written in %.0f ms\n",
                hacks,
                hacks * 20,
                hacks * 2,
                fill.wallMs);

    size_t rows = 0;
    const Timing list = Median(5, [&] { rows = HackListRows(state, true).size(); });
    std::printf("hack list rows (%zu), wall / CPU ms, median of 5:\n", rows);
    std::printf("  ours, grouped support-file count: %.1f / %.1f\n", list.wallMs, list.cpuMs);
    const Timing perHack = Median(1, [&] { PerHackListRows(state); });
    std::printf("  ours, one support-file query per hack: %.1f / %.1f\n", perHack.wallMs, perHack.cpuMs);

    const auto shell = ShellTimes(state.Connection.Path(),
                                  "SELECT * FROM [HackInfo] ORDER by [Name];\n"
                                  "SELECT [HackNum], count(*) FROM [HackFiles] GROUP BY [HackNum];");
    if (shell.size() >= 2)
        std::printf("  sqlcipher shell, the same two queries: %.1f / %.1f\n",
                    shell[0].wallMs + shell[1].wallMs,
                    shell[0].cpuMs + shell[1].cpuMs);
    CloseDatabase(state);
    return supportFileSame && rows == size_t(hacks) ? 0 : 1;
}
