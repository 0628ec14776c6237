// Kills `zenpatch-cli install --overwrite-source` with SIGKILL at random moments and checks after each
// kill that every board file is whole (its old bytes or its new bytes, nothing between), that the
// next job takes over the dead run's lock at once and removes its temporary files, exchange and work
// folders.
//   install_kill_bench [TRIALS FILES KIB_PER_FILE]   (default 200 40 64)
#include "app/app_state.h"
#include "app/common.h"
#include "app/configuration.h"
#include "app/scripted_dialogs.h"
#include "database/database.h"
#include "database/recordset.h"
#include "database/sql.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zp {
namespace {

using Clock = std::chrono::steady_clock;

QString Cli()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section('/', 0, -2) + "/zenpatch-cli";
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(2);
    }
}

QString BoardFile(int n)
{
    return QStringLiteral("cgi-bin/d%1/f%2.cgi").arg(n % 8).arg(n, 4, 10, QChar('0'));
}

// Starts the command line with these arguments; returns its process id.
pid_t Start(const QStringList& arguments)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (!qEnvironmentVariableIsSet("KILL_BENCH_VERBOSE")) {
            const int null = ::open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
        }
        std::vector<QByteArray> bytes {Cli().toLocal8Bit()};
        for (const QString& a : arguments)
            bytes.push_back(a.toLocal8Bit());
        std::vector<char*> argv;
        for (QByteArray& b : bytes)
            argv.push_back(b.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The hack: one "Add After" mod per board file, so that every file changes.
void PrepareHome(const QString& home, const QString& source, const QString& output, int files, int kib)
{
    for (int n = 0; n < files; ++n) {
        QByteArray text = "# hook " + QByteArray::number(n) + "\r\n";
        while (text.size() < kib * 1024)
            text += "print \"board line of file " + QByteArray::number(n) + "\";\r\n";
        Write(source + "/" + BoardFile(n), text);
    }
    QDir().mkpath(home);
    ScriptedDialogs dialogs;
    AppState state(home, dialogs);
    Database::CreateNew(home + "/" + Database::FileName);
    OpenDatabase(state);
    OptionsValues options;
    options.SourceDir = source;
    options.OutputDir = output;
    options.ubbCGIDir = QStringLiteral("cgi-bin");
    SaveOptions(state, options);
    state.Connection.Execute("INSERT INTO HackInfo (Name, HackType) VALUES ('Stress', 0)");
    Transaction transaction(state.Connection);
    for (int n = 0; n < files; ++n) {
        state.Connection.Execute(
            QStringLiteral("INSERT INTO HackData (HackNum, ModOrder, FileName, PrimaryDir, ExtendDir, "
                           "ActionType, ModInst, OldData, NewData) VALUES "
                           "(1, %1, 'f%2.cgi', 0, '/d%3', 1, 1, '# hook %1', 'added by the hack')")
                .arg(n)
                .arg(n, 4, 10, QChar('0'))
                .arg(n % 8));
    }
    transaction.Commit();
    CloseDatabase(state);
}

// Every file below a folder whose name marks a temporary file of an unfinished write.
int TemporaryFilesBelow(const QString& folder)
{
    int count = 0;
    QDirIterator it(folder, {".zenpatch-*.part"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++count;
    }
    return count;
}

int Run(int trials, int files, int kib)
{
    QTemporaryDir temp;
    const QString home = temp.path() + "/home", source = temp.path() + "/board", output = temp.path() + "/out";
    PrepareHome(home, source, output, files, kib);
    QHash<QString, QByteArray> before, after;
    for (int n = 0; n < files; ++n)
        before[BoardFile(n)] = Read(source + "/" + BoardFile(n));

    // The new bytes come from an installation into the output folder; a full run over the source is timed.
    const QStringList install {"--home", home, "install", "Stress", "--overwrite-source"};
    if (Wait(Start({"--home", home, "install", "Stress"})) != 0)
        return std::fprintf(stderr, "the installation into the output folder failed\n"), 2;
    for (int n = 0; n < files; ++n)
        after[BoardFile(n)] = Read(output + "/" + BoardFile(n));
    const auto fullStart = Clock::now();
    if (Wait(Start(install)) != 0)
        return std::fprintf(stderr, "the installation over the source failed\n"), 2;
    const auto full = Clock::now() - fullStart;

    int allOld = 0, mixed = 0, allNew = 0, torn = 0, leftLeftovers = 0, slowTakeovers = 0, leftTemporaries = 0;
    for (int trial = 0; trial < trials; ++trial) {
        for (int n = 0; n < files; ++n)
            Write(source + "/" + BoardFile(n), before[BoardFile(n)]);
        QDir(home + "/backups").removeRecursively();

        const pid_t run = Start(install);
        const auto delay = std::chrono::duration_cast<std::chrono::microseconds>(full * 1.1)
            * QRandomGenerator::global()->bounded(1000) / 1000;
        std::this_thread::sleep_for(delay);
        kill(run, SIGKILL);
        Wait(run);

        int olds = 0, news = 0;
        for (int n = 0; n < files; ++n) {
            const QByteArray bytes = Read(source + "/" + BoardFile(n));
            olds += bytes == before[BoardFile(n)];
            news += bytes == after[BoardFile(n)];
        }
        torn += files - olds - news;
        (olds == files ? allOld : news == files ? allNew : mixed) += 1;
        leftTemporaries += TemporaryFilesBelow(source) > 0;

        // The next job takes over the dead run's lock at once and clears what it left.
        const auto next = Clock::now();
        Wait(Start({"--home", home, "analyze", "Stress"}));
        slowTakeovers += Clock::now() - next > std::chrono::seconds(5);
        leftLeftovers += TemporaryFilesBelow(source) + QFileInfo::exists(home + "/zpk_inst_temp")
            + QFileInfo::exists(home + "/enctemp") + QFileInfo::exists(home + "/zpatch.pending");
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
    return torn == 0 && leftLeftovers == 0 && slowTakeovers == 0 ? 0 : 1;
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
