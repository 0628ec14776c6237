#include "scoped_env.h"
#include "shell/single_instance.h"
#include "widget_test_app.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>

namespace zp {
namespace {

TEST(SingleInstanceTest, ALaterStartHandsItsFileToTheRunningProgramAndEnds)
{
    test::EnsureApplication();
    QTemporaryDir home;
    // A socket left behind by a program that ended does not keep the next one from listening.
    {
        QFile stale(SingleInstance::SocketName(home.path()));
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    }
    SingleInstance running(SingleInstance::SocketName(home.path()));
    ASSERT_TRUE(running.Listen());
    QStringList handed;
    running.SetReceiver([&handed](const QString& file) { handed << file; });

    QProcess later;
    later.setWorkingDirectory(home.path());
    later.start(ZENPATCH_PROGRAM, {"--home", home.path(), "new hack.zpx"});
    const bool ended = QTest::qWaitFor([&later] { return later.state() == QProcess::NotRunning; }, 30000);
    if (!ended)
        later.kill();
    ASSERT_TRUE(ended);
    EXPECT_EQ(later.exitCode(), 0);
    EXPECT_EQ(handed, QStringList({home.filePath("new hack.zpx")}));
}

// No file handle numbered `above` or higher while it lives.
class FileHandleLimit
{
public:
    explicit FileHandleLimit(rlim_t above)
    {
        getrlimit(RLIMIT_NOFILE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = above;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    ~FileHandleLimit() { setrlimit(RLIMIT_NOFILE, &previous_); }

private:
    rlimit previous_ {};
};

// The lowest free file handle number.
int LowestFreeHandle()
{
    const int free = ::dup(0);
    ::close(free);
    return free;
}

// The sockets live in a folder of the test's own.
class SingleInstanceSocket : public testing::Test
{
protected:
    SingleInstanceSocket()
    {
        test::EnsureApplication();
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(name).constData(), sizeof address.sun_path);
        running.SetReceiver([this](const QString& file) { handed << file; });
    }

    // What a client of this process is answered to `line`.
    QByteArray Answer(const QByteArray& line, int timeoutMs = 3000)
    {
        QLocalSocket client;
        QObject::connect(&client, &QLocalSocket::connected, &client, [&client, &line] { client.write(line); });
        client.connectToServer(name);
        QByteArray answer;
        (void)QTest::qWaitFor(
            [&] {
                if (client.isOpen())
                    answer += client.readAll();
                return answer.endsWith('\n') || client.state() == QLocalSocket::UnconnectedState;
            },
            timeoutMs);
        return answer;
    }

    // Connects `fd` to the program's socket without Qt, and without allocating (a forked child does).
    int Connect(int fd) const { return ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address); }

    QTemporaryDir runtime;
    ScopedEnv xdg {"XDG_RUNTIME_DIR", QFile::encodeName(runtime.path())};
    QString name = SingleInstance::SocketName("/some/program/folder");
    SingleInstance running {name};
    sockaddr_un address {};
    QStringList handed;
};

TEST_F(SingleInstanceSocket, AFolderOthersCanEnterOrThatIsNotTheUsersOwnIsNotUsed)
{
    EXPECT_EQ(QFileInfo(name).absolutePath(), runtime.path());
    ::chmod(QFile::encodeName(runtime.path()), 0701);
    EXPECT_EQ(SingleInstance::SocketName("/some/program/folder"), QString());

    // Without a runtime folder the sockets go to a private folder in the temporary folder.
    QTemporaryDir temporary;
    ScopedEnv noRuntime("XDG_RUNTIME_DIR", QByteArray());
    ScopedEnv tmp("TMPDIR", QFile::encodeName(temporary.path()));
    const QString own = temporary.filePath(QStringLiteral("zenpatch-%1").arg(::getuid()));
    EXPECT_EQ(QFileInfo(SingleInstance::SocketName("/f")).absolutePath(), own);
    struct stat made
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(own).constData(), &made), 0);
    EXPECT_EQ(made.st_mode & 0777, 0700u);
    ::chmod(QFile::encodeName(own), 0750);
    EXPECT_EQ(SingleInstance::SocketName("/f"), QString());
    // A link in its place, even to a private folder of the user's.
    ASSERT_TRUE(QDir(own).removeRecursively());
    ASSERT_TRUE(QFile::link(runtime.path(), own));
    ::chmod(QFile::encodeName(runtime.path()), 0700);
    EXPECT_EQ(SingleInstance::SocketName("/f"), QString());
    // Someone else's (only a superuser can give a folder away).
    ASSERT_TRUE(QFile::remove(own));
    ASSERT_TRUE(QDir().mkdir(own, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    if (::chown(QFile::encodeName(own), ::getuid() + 1, -1) == 0) {
        EXPECT_EQ(SingleInstance::SocketName("/f"), QString());
    }
}

TEST_F(SingleInstanceSocket, TheOtherEndMustBeAProgramOfTheSameUser)
{
    // A program that belongs to another user takes nothing from this user's start...
    SingleInstance stranger(name, ::getuid() + 1);
    ASSERT_TRUE(stranger.Listen());
    EXPECT_EQ(Answer("/a.zpx\n"), QByteArray());

    // ...and a start of another user hands nothing to this user's program.
    QLocalServer::removeServer(name);
    QLocalServer server;
    ASSERT_TRUE(server.listen(name));
    EXPECT_FALSE(SingleInstance(name, ::getuid() + 1).HandOver("/b.zpx", 300));
    ASSERT_TRUE(server.waitForNewConnection(1000));
    QLocalSocket* reached = server.nextPendingConnection();
    reached->waitForReadyRead(300);
    EXPECT_EQ(reached->bytesAvailable(), 0);
}

TEST_F(SingleInstanceSocket, AFloodOfSilentConnectionsDoesNotKeepALaterStartOut)
{
    ASSERT_TRUE(running.Listen());
    // Another process opens more connections than this one may hold file handles, says nothing
    // and keeps them open.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t flood = ::fork();
    ASSERT_GE(flood, 0);
    if (flood == 0) {
        ::dup2(ready[1], 3);
        ::close_range(4, ~0U, 0);
        int connections = 0;
        while (connections < 30 && Connect(::socket(AF_UNIX, SOCK_STREAM, 0)) == 0)
            ++connections;
        ::write(3, "", 1);
        ::pause();
    }
    ::close(ready[1]);
    char done = 0;
    ASSERT_EQ(::read(ready[0], &done, 1), 1);
    ::close(ready[0]);
    {
        FileHandleLimit limit(LowestFreeHandle() + 22);
        EXPECT_EQ(Answer("/flood.zpx\n", 10000), "ok\n");
    }
    ::kill(flood, SIGKILL);
    ::waitpid(flood, nullptr, 0);
    EXPECT_EQ(handed, QStringList({"/flood.zpx"}));
}

TEST_F(SingleInstanceSocket, AProgramWhoseServerStoppedListensAgain)
{
    ASSERT_TRUE(running.Listen());
    // No member of the fixture is reached while no file handle is left: the sanitizer's check of a
    // member call needs a handle of its own.
    const QString socket = name;
    const sockaddr_un to = address;
    {
        // A connection comes when no file handle is left to take it: the server stops.
        const int client = ::socket(AF_UNIX, SOCK_STREAM, 0);
        FileHandleLimit none(LowestFreeHandle());
        ASSERT_EQ(::connect(client, reinterpret_cast<const sockaddr*>(&to), sizeof to), 0);
        ASSERT_TRUE(QTest::qWaitFor([&socket] { return !QFile::exists(socket); }, 1000));
        ::close(client);
    }
    ASSERT_TRUE(QTest::qWaitFor([&socket] { return QFile::exists(socket); }, 3000));
    EXPECT_EQ(Answer("/again.zpx\n"), "ok\n");
    EXPECT_EQ(handed, QStringList({"/again.zpx"}));
}

} // namespace
} // namespace zp
