#include "bench/kill_harness.h"

#include "bench/install_board.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/scripted_dialogs.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zp::bench {

namespace {

QString Cli()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section('/', 0, -2) + "/zenpatch-cli";
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes the file whole, making its folder first.
void Write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    WriteFile(path, bytes);
}

// The board file of number n, relative to the board root: cgi-bin/FOLDER/NAME.
QString BoardFile(int n)
{
    return QStringLiteral("cgi-bin/d%1/f%2.cgi").arg(n % 8).arg(n, 4, 10, QChar('0'));
}

} // namespace

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

StressBoard::StressBoard(int files, int kib)
    : files(files)
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
    OpenBoardDatabase(state, Board {home, source, output});
    state.Connection.Execute("INSERT INTO HackInfo (Name, HackType) VALUES ('Stress', 0)");
    StoreMods(state, 1, files, [](int n) {
        const QString file = BoardFile(n);
        return Mod {file.section('/', 2),
                    "/" + file.section('/', 1, 1),
                    1,
                    1,
                    QStringLiteral("# hook %1").arg(n),
                    QStringLiteral("added by the hack")};
    });
    CloseDatabase(state);
}

QHash<QString, QByteArray> StressBoard::Files(const QString& folder) const
{
    QHash<QString, QByteArray> bytes;
    for (int n = 0; n < files; ++n)
        bytes[BoardFile(n)] = Read(folder + "/" + BoardFile(n));
    return bytes;
}

void StressBoard::Restore(const QHash<QString, QByteArray>& bytes) const
{
    for (int n = 0; n < files; ++n)
        Write(source + "/" + BoardFile(n), bytes[BoardFile(n)]);
}

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

void StartAndKill(const QStringList& arguments, Clock::duration full)
{
    const pid_t run = Start(arguments);
    const auto delay = std::chrono::duration_cast<std::chrono::microseconds>(full * 1.1)
        * QRandomGenerator::global()->bounded(1000) / 1000;
    std::this_thread::sleep_for(delay);
    kill(run, SIGKILL);
    Wait(run);
}

FileTally TallyFiles(const QString& source,
                     int files,
                     const QHash<QString, QByteArray>& olds,
                     const QHash<QString, QByteArray>& news)
{
    FileTally tally;
    for (int n = 0; n < files; ++n) {
        const QByteArray bytes = Read(source + "/" + BoardFile(n));
        tally.olds += bytes == olds[BoardFile(n)];
        tally.news += bytes == news[BoardFile(n)];
    }
    return tally;
}

} // namespace zp::bench
