#include "ssh_server.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zp::testing {

namespace {

const char* const Sshd = "/usr/sbin/sshd";

// The key type and key of an OpenSSH public key file, as known_hosts names them.
QString PublicKey(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).section(' ', 0, 1);
}

int FreePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
}

bool Accepts(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    const bool connected = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return connected;
}

} // namespace

bool SshServer::Available()
{
    return QFile::exists(Sshd) && QFile::exists("/usr/bin/ssh-keygen");
}

QString SshServer::Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(20000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

SshServer::SshServer(const QString& passphrase)
{
    const QString d = dir_.path();
    Run("ssh-keygen", {"-q", "-t", "ed25519", "-N", "", "-f", d + "/host_key"});
    Run("ssh-keygen", {"-q", "-t", "ed25519", "-N", passphrase, "-f", ClientKey()});
    QFile::copy(ClientKey() + ".pub", d + "/authorized_keys");
    QFile config(d + "/sshd_config");
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral("HostKey %1/host_key\nPidFile %1/sshd.pid\nAuthorizedKeysFile %1/authorized_keys\n"
                                "StrictModes no\nUsePAM no\nPasswordAuthentication yes\nKbdInteractiveAuthentication "
                                "no\nPermitRootLogin yes\nSubsystem sftp internal-sftp\nLogLevel FATAL\n")
                     .arg(d)
                     .toUtf8());
    config.close();
    if (::geteuid() == 0)
        QDir().mkpath("/run/sshd");
    // Another test may take the free port first: its own server then stops at once.
    for (int attempt = 0; attempt < 3 && !Listen(); ++attempt) { }
}

bool SshServer::Listen()
{
    const QString d = dir_.path();
    port_ = FreePort();
    QFile known(KnownHosts());
    known.open(QIODevice::WriteOnly);
    known.write(QStringLiteral("[127.0.0.1]:%1 %2\n").arg(port_).arg(PublicKey(d + "/host_key.pub")).toUtf8());
    known.close();
    Run("ssh-keygen", {"-q", "-H", "-f", KnownHosts()});
    // Its output goes nowhere: a pipe the caller reads would stay open while the server runs.
    QProcess sshd;
    sshd.setProgram(Sshd);
    sshd.setArguments(
        {"-D", "-e", "-f", d + "/sshd_config", "-p", QString::number(port_), "-o", "ListenAddress=127.0.0.1"});
    sshd.setWorkingDirectory(d);
    sshd.setStandardOutputFile(QProcess::nullDevice());
    sshd.setStandardErrorFile(QProcess::nullDevice());
    if (!sshd.startDetached(&pid_))
        return false;
    for (int i = 0; i < 100 && ::kill(pid_t(pid_), 0) == 0; ++i) {
        if (Accepts(port_))
            return true;
        QThread::msleep(50);
    }
    ::kill(pid_t(pid_), SIGTERM);
    pid_ = 0;
    return false;
}

SshServer::~SshServer()
{
    if (pid_ > 0) {
        KillSessions();
        ::kill(pid_t(pid_), SIGTERM);
    }
}

QString SshServer::User() const
{
    const passwd* user = ::getpwuid(::getuid());
    return user ? QString::fromLocal8Bit(user->pw_name) : QString();
}

void SshServer::PlantOtherHostKey()
{
    Run("ssh-keygen", {"-q", "-t", "ed25519", "-N", "", "-f", dir_.filePath("other_key")});
    const QString other = PublicKey(dir_.filePath("other_key.pub"));
    QFile known(KnownHosts());
    known.open(QIODevice::WriteOnly);
    known.write(QStringLiteral("[127.0.0.1]:%1 %2\n").arg(port_).arg(other).toUtf8());
}

void SshServer::KillSessions()
{
    for (const QString& process : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + process + "/stat");
        // pid (name) state ppid ...: the name may hold spaces, so the fields are counted after ')'.
        if (stat.open(QIODevice::ReadOnly)
            && stat.readAll().split(')').last().trimmed().split(' ').value(1).toLongLong() == pid_)
            ::kill(pid_t(process.toInt()), SIGKILL);
    }
}

} // namespace zp::testing
