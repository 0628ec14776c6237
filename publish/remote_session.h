#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <stdexcept>

struct ssh_session_struct;
struct sftp_session_struct;

namespace zp {

struct Server;

// A connection, sign-in or host key refused, or a remote file operation failed; the text names the
// server or the file and the reason.
class RemoteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// What a connection asks its caller.
struct ConnectOptions
{
    // OpenSSH's list of known hosts (hashed entries included); ~/.ssh/known_hosts when empty.
    QString knownHostsFile;
    // Whether to trust a host not in the list, given its SHA256 fingerprint ("SHA256:..."); a host
    // trusted is added to the list. Refused when not set.
    std::function<bool(const QString& host, const QString& fingerprint)> acceptUnknownHost;
    // The password or the key's passphrase, asked with this prompt; nothing when the user gave none.
    std::function<std::optional<QString>(const QString& prompt)> askSecret;
};

// The SHA256 fingerprint of a known host whose key has changed is refused whatever the caller says:
// this is the text that says so.
QString ChangedHostKeyText(const QString& host, const QString& knownHosts);

// One SSH connection with its SFTP channel, signed in; closed on destruction. Host key checking and
// every byte of SSH and SFTP are libssh's.
class RemoteSession
{
public:
    // Connects and signs in. Throws RemoteError.
    RemoteSession(const Server& server, const ConnectOptions& options);
    ~RemoteSession();
    RemoteSession(const RemoteSession&) = delete;
    RemoteSession& operator=(const RemoteSession&) = delete;

    sftp_session_struct* Sftp() const { return sftp_; }
    // The server's name and host as messages name them: "live (board.example.org)".
    const QString& Name() const { return name_; }
    // Whether the connection still stands (false once the server or the network dropped it).
    bool Connected() const;
    // The libssh error text of the session (the connection's reason).
    QString SessionError() const;

private:
    void CheckHostKey(const Server& server, const ConnectOptions& options);
    void SignIn(const Server& server, const ConnectOptions& options);
    [[noreturn]] void Fail(const QString& what) const;
    void Close();

    ssh_session_struct* session_ = nullptr;
    sftp_session_struct* sftp_ = nullptr;
    QString name_;
};

} // namespace zp
