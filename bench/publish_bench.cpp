// Publishing to a loopback OpenSSH server: 500 changed files of 64 KiB sent, against `sftp -b`
// putting the same files, and a check of 2,000 unchanged files of 16 KiB, against
// `rsync --checksum -n` over ssh of the same tree.
#include "app/app_state.h"
#include "app/scripted_dialogs.h"
#include "bench/install_board.h"
#include "core/install_log.h"
#include "core/mod_actions.h"
#include "install/installation_run.h"
#include "publish/publish_job.h"
#include "publish/servers.h"
#include "ssh_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

namespace zp::bench {
namespace {

QString FileOf(int n)
{
    return QStringLiteral("cgi-bin/d%1/f%2.cgi").arg(n / 50).arg(n);
}

// A board of `count` files of `bytes` each, a hack with one mod per file, installed to the output
// folder; the live board's folder a copy of the source.
struct Scene
{
    Scene(testing::SshServer& ssh, int count, qsizetype bytes)
        : state(home.path(), dialogs)
    {
        board = {home.path(), home.filePath("board"), home.filePath("out")};
        const QByteArray filler = QByteArray(bytes - 8, 'x').replace(0, 1, "#");
        for (int n = 0; n < count; n += 50) {
            QDir().mkpath(board.source + "/" + FileOf(n).section('/', 0, -2));
            QDir().mkpath(live() + "/" + FileOf(n).section('/', 0, -2));
        }
        for (int n = 0; n < count; ++n) {
            WriteFile(board.source + "/" + FileOf(n), "# hook\n" + filler.left(bytes - 8) + "\n");
            WriteFile(live() + "/" + FileOf(n), "# hook\n" + filler.left(bytes - 8) + "\n");
        }
        OpenBoardDatabase(state, board);
        hack = AddBenchmarkHack(state);
        StoreMods(state, hack, count, [](int n) {
            return Mod {
                FileOf(n).section('/', -1), "/" + FileOf(n).section('/', 1, 1), AddAfter, 1, "# hook", "added()"};
        });
        FixedInstallationOptions options;
        RecordingLog log;
        RunInstallation(state, hack, options, log);
        server = {"live", "127.0.0.1", ssh.Port(), ssh.User(), live(), SignIn::KeyFile, ssh.ClientKey(), {}};
        connect.knownHostsFile = ssh.KnownHosts();
    }

    QString live() const { return home.filePath("live"); }

    PublishOutcome Publish(bool dryRun)
    {
        PublishOptions options;
        options.dryRun = dryRun;
        RecordingLog log;
        std::vector<PublishFile> files;
        return PublishInstallation(state, hack, server, connect, options, log, files).outcome;
    }

    QTemporaryDir home;
    ScriptedDialogs dialogs;
    AppState state;
    Board board;
    int hack = 0;
    Server server;
    ConnectOptions connect;
};

QStringList SshOptions(testing::SshServer& ssh)
{
    return {"-i", ssh.ClientKey(), "-o", "UserKnownHostsFile=" + ssh.KnownHosts(), "-o", "BatchMode=yes"};
}

void Run(const QString& program, const QStringList& arguments, const QString& input = QString())
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    process.write(input.toUtf8());
    process.closeWriteChannel();
    process.waitForFinished(-1);
    process.readAllStandardOutput();
    if (process.exitCode() != 0)
        std::printf("%s failed (status %d)\n", qPrintable(program), process.exitCode());
}

void PublishFiles(testing::SshServer& ssh)
{
    Scene scene(ssh, 500, 64 * 1024);
    const QString original = scene.home.filePath("original");
    Run("cp", {"-a", scene.live(), original});
    const auto reset = [&] {
        Run("rm", {"-rf", scene.live(), scene.home.filePath("backups")});
        Run("cp", {"-a", original, scene.live()});
    };
    const double ours = Best(reset, [&] {
        if (scene.Publish(false) != PublishOutcome::Done)
            std::printf("the publish failed\n");
    });
    QString batch;
    for (int n = 0; n < 500; ++n)
        batch += QStringLiteral("put \"%1/%2\" \"%3/%2\"\n").arg(scene.board.output, FileOf(n), scene.live());
    QFile file(scene.home.filePath("batch"));
    file.open(QIODevice::WriteOnly);
    file.write(batch.toUtf8());
    file.close();
    const double sftp = Best(reset, [&] {
        Run("sftp",
            SshOptions(ssh)
                + QStringList {
                    "-q", "-P", QString::number(ssh.Port()), "-b", file.fileName(), ssh.User() + "@127.0.0.1"});
    });
    std::printf("publish of 500 files of 64 KiB: %.3f s, sftp -b %.3f s (%.2fx)\n", ours, sftp, ours / sftp);
}

void CheckUnchanged(testing::SshServer& ssh)
{
    if (QStandardPaths::findExecutable("rsync").isEmpty()) {
        std::printf("check of 2,000 unchanged files: rsync is not installed, so there is nothing to compare with\n");
        return;
    }
    Scene scene(ssh, 2000, 16 * 1024);
    scene.Publish(false);
    const double ours = Best([] {},
                             [&] {
                                 if (scene.Publish(true) != PublishOutcome::Done)
                                     std::printf("the check failed\n");
                             });
    const QString shell = "ssh -p " + QString::number(ssh.Port()) + " " + SshOptions(ssh).join(' ');
    const double rsync = Best([] {},
                              [&] {
                                  Run("rsync",
                                      {"-r",
                                       "--checksum",
                                       "-n",
                                       "-e",
                                       shell,
                                       scene.board.output + "/",
                                       ssh.User() + "@127.0.0.1:" + scene.live() + "/"});
                              });
    std::printf("check of 2,000 unchanged files of 16 KiB: %.3f s, rsync --checksum -n %.3f s (%.2fx)\n",
                ours,
                rsync,
                ours / rsync);
}

} // namespace
} // namespace zp::bench

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!zp::testing::SshServer::Available()) {
        std::printf("/usr/sbin/sshd is not installed\n");
        return 2;
    }
    zp::testing::SshServer ssh;
    if (!ssh.Started()) {
        std::printf("sshd did not start\n");
        return 2;
    }
    zp::bench::PublishFiles(ssh);
    zp::bench::CheckUnchanged(ssh);
    return 0;
}
