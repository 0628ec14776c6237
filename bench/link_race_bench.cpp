// Races the planting of symbolic links against installations, exports and imports run by
// zenpatch-cli: while each job runs, a thread keeps putting links to a folder outside in its way —
// over the files of the work folder zpk_inst_temp, over the output's cgi-bin (swapped for a link
// and back), and at the names the exchange folder enctemp is about to use. Whatever each job
// reports, the folder outside must keep exactly what it held: a finding is any change there.
//   link_race_bench [ROUNDS SECONDS FILES]   (default 60 120 24; stops at whichever limit comes first)
#include "bench/kill_harness.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace zp {
namespace {

using namespace bench;

// Every file below the folder with its bytes, links as "-> target".
QHash<QString, QByteArray> Contents(const QString& folder)
{
    QHash<QString, QByteArray> contents;
    QDirIterator it(
        folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QFile file(info.filePath());
        contents[info.filePath()] = info.isSymLink() ? "-> " + QFile::encodeName(info.symLinkTarget())
            : info.isDir()                           ? QByteArray("<folder>")
            : file.open(QIODevice::ReadOnly)         ? file.readAll()
                                                     : QByteArray("<unreadable>");
    }
    return contents;
}

// Replaces whatever stands at `path` with a link to `target`; racing the job, so failures are fine.
void Plant(const QString& path, const QString& target)
{
    const QByteArray name = QFile::encodeName(path);
    ::unlink(name.constData());
    ::symlink(QFile::encodeName(target).constData(), name.constData());
}

// One round of planting at the places the jobs write.
void PlantOnce(const QString& home, const QString& output, const QString& outside, unsigned round)
{
    const QString work = home + "/zpk_inst_temp";
    if (round % 3 == 0) {
        for (const QString& name : QDir(work).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
            Plant(work + "/" + name, outside + "/victim");
    }
    const QString exchange = home + "/enctemp";
    for (const char* name : {"s.zpx",
                             "s.zpe",
                             "s.enc",
                             "support1",
                             "support1.enc",
                             "clean.zpx.dec",
                             "block1.dec",
                             "block1.bin",
                             "block2.dec",
                             "block2.bin"})
        if (QFileInfo(exchange).isDir() && !QFileInfo::exists(exchange + "/" + name))
            Plant(exchange + "/" + name, outside + "/victim");
    const QString cgi = output + "/cgi-bin";
    if (round % 2 == 0 && QFileInfo(cgi).isDir() && !QFileInfo(cgi).isSymLink() && QDir().rename(cgi, cgi + ".real")) {
        Plant(cgi, outside);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        ::unlink(QFile::encodeName(cgi).constData());
        QDir().rename(cgi + ".real", cgi);
    }
}

// Runs one command of zenpatch-cli with the planter racing it; its exit status.
int RaceOne(const QStringList& arguments, const QString& home, const QString& output, const QString& outside)
{
    std::atomic<bool> running {true};
    std::thread planter([&] {
        for (unsigned round = 0; running; ++round)
            PlantOnce(home, output, outside, round);
    });
    const int status = Wait(Start(arguments));
    running = false;
    planter.join();
    return status;
}

int Run(int rounds, int seconds, int files)
{
    const StressBoard board(files, 16);
    const QString outside = board.temp.path() + "/outside";
    QDir().mkpath(outside);
    QFile victim(outside + "/victim");
    if (!victim.open(QIODevice::WriteOnly) || victim.write("never to be written\n") < 0)
        return std::fprintf(stderr, "cannot prepare %s\n", qPrintable(outside)), 2;
    victim.close();
    const QHash<QString, QByteArray> kept = Contents(outside);
    const QString exports = board.temp.path() + "/exports";
    QDir().mkpath(exports);
    // The hack file the imports read, made before any planting.
    if (Wait(Start({"--home", board.home, "export", "Stress", "--folder", exports, "--name", "clean"})) != 0)
        return std::fprintf(stderr, "the first export failed\n"), 2;

    const Clock::time_point end = Clock::now() + std::chrono::seconds(seconds);
    int done = 0, succeeded = 0, findings = 0;
    for (; done < rounds && Clock::now() < end; ++done) {
        QStringList arguments {"--home", board.home};
        switch (done % 3) {
        case 0:
            arguments << "install"
                      << "Stress";
            break;
        case 1:
            arguments << "export"
                      << "Stress"
                      << "--folder" << exports << "--name"
                      << "s";
            QFile::remove(exports + "/s.zpx");
            break;
        default:
            arguments << "--yes"
                      << "import" << exports + "/clean.zpx"
                      << "--replace";
            break;
        }
        succeeded += RaceOne(arguments, board.home, board.output, outside) == 0;
        if (Contents(outside) != kept) {
            ++findings;
            std::fprintf(stderr, "round %d (%s): the folder outside changed\n", done, qPrintable(arguments[2]));
            QDir(outside).removeRecursively();
            QDir().mkpath(outside);
            QFile again(outside + "/victim");
            if (again.open(QIODevice::WriteOnly))
                again.write("never to be written\n");
        }
    }
    std::printf("%d jobs (install, export, import in turn) raced by link planting: %d succeeded, %d findings\n",
                done,
                succeeded,
                findings);
    return findings == 0 ? 0 : 1;
}

} // namespace
} // namespace zp

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 120;
    const int files = argc > 3 ? std::atoi(argv[3]) : 24;
    return zp::Run(rounds, seconds, files);
}
