#pragma once

#include <QString>
#include <QTemporaryDir>

namespace zp::testing {

// Debian's OpenSSH server on 127.0.0.1 at a free port, with a host key, a client key (its
// passphrase given), an authorized_keys and a config of its own in a temporary folder, stopped
// when destroyed. Running as root, it needs the system's privilege-separation folder /run/sshd,
// made if it is missing.
class SshServer
{
public:
    static bool Available();

    explicit SshServer(const QString& passphrase = QString());
    ~SshServer();
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    bool Started() const { return pid_ > 0; }
    int Port() const { return port_; }
    QString User() const;
    QString ClientKey() const { return dir_.filePath("client_key"); }
    // A known_hosts file naming this server's host key, hashed as `ssh-keygen -H` writes it.
    QString KnownHosts() const { return dir_.filePath("known_hosts"); }
    // Another key's line for this server in KnownHosts: as if the server's key had changed.
    void PlantOtherHostKey();
    // Kills the processes that serve the open connections, as a dropped network would end them.
    void KillSessions();

private:
    static QString Run(const QString& program, const QStringList& arguments);
    // Starts the server at a free port; false when it did not listen there.
    bool Listen();

    QTemporaryDir dir_;
    int port_ = 0;
    qint64 pid_ = 0;
};

} // namespace zp::testing
