#include "publish/remote_session.h"

#include "publish/servers.h"

#include <QDir>
#include <QFile>
#include <cstring>
#include <libssh/libssh.h>
#include <libssh/sftp.h>

namespace zp {

namespace {

// The key file's passphrase, asked through the caller only when libssh finds the key encrypted.
struct PassphraseRequest
{
    const ConnectOptions* options;
    QString keyFile;
    bool asked = false;
};

int AskPassphrase(const char*, char* buffer, size_t length, int, int, void* data)
{
    auto* request = static_cast<PassphraseRequest*>(data);
    request->asked = true;
    if (!request->options->askSecret)
        return -1;
    const std::optional<QString> secret
        = request->options->askSecret(QStringLiteral("Passphrase for the key %1: ").arg(request->keyFile));
    const QByteArray bytes = secret ? secret->toUtf8() : QByteArray();
    if (!secret || size_t(bytes.size()) >= length)
        return -1;
    std::memcpy(buffer, bytes.constData(), size_t(bytes.size()) + 1);
    return 0;
}

} // namespace

QString ChangedHostKeyText(const QString& host, const QString& knownHosts)
{
    return QStringLiteral("The host key of %1 is not the one recorded for it in %2. Someone may be listening in "
                          "on the connection (a man-in-the-middle attack), or the server's key was replaced. "
                          "Nothing was sent. If the server's administrator confirms the new key, remove the old "
                          "one (ssh-keygen -R %1) and connect again.")
        .arg(host, knownHosts);
}

RemoteSession::RemoteSession(const Server& server, const ConnectOptions& options)
    : name_(QStringLiteral("%1 (%2)").arg(server.name, server.host))
{
    session_ = ssh_new();
    if (!session_)
        throw RemoteError("Cannot start an SSH session.");
    try {
        const QByteArray host = server.host.toUtf8();
        const QByteArray user = server.user.toUtf8();
        const QByteArray knownHosts = QFile::encodeName(options.knownHostsFile.isEmpty()
                                                            ? QDir::homePath() + QStringLiteral("/.ssh/known_hosts")
                                                            : options.knownHostsFile);
        const unsigned int port = unsigned(server.port);
        const long timeout = 20;
        const int processConfig = 0; // the server's settings are ours alone, whatever ~/.ssh/config says
        ssh_options_set(session_, SSH_OPTIONS_PROCESS_CONFIG, &processConfig);
        ssh_options_set(session_, SSH_OPTIONS_HOST, host.constData());
        ssh_options_set(session_, SSH_OPTIONS_PORT, &port);
        ssh_options_set(session_, SSH_OPTIONS_USER, user.constData());
        ssh_options_set(session_, SSH_OPTIONS_KNOWNHOSTS, knownHosts.constData());
        ssh_options_set(session_, SSH_OPTIONS_TIMEOUT, &timeout);
        // Each SFTP request waits for its answer: Nagle's algorithm would hold every small one back
        // until the server's delayed acknowledgement, some 40 ms a request.
        const int noDelay = 1;
        ssh_options_set(session_, SSH_OPTIONS_NODELAY, &noDelay);
        if (ssh_connect(session_) != SSH_OK)
            Fail(QStringLiteral("Cannot connect to %1").arg(name_));
        CheckHostKey(server, options);
        SignIn(server, options);
        sftp_ = sftp_new(session_);
        if (!sftp_ || sftp_init(sftp_) != SSH_OK)
            Fail(QStringLiteral("%1 offers no SFTP").arg(name_));
    } catch (...) {
        Close();
        throw;
    }
}

RemoteSession::~RemoteSession()
{
    Close();
}

void RemoteSession::Close()
{
    if (sftp_)
        sftp_free(sftp_);
    sftp_ = nullptr;
    if (session_) {
        ssh_disconnect(session_);
        ssh_free(session_);
    }
    session_ = nullptr;
}

bool RemoteSession::Connected() const
{
    return session_ && ssh_is_connected(session_) != 0;
}

QString RemoteSession::SessionError() const
{
    return QString::fromUtf8(ssh_get_error(session_));
}

void RemoteSession::Fail(const QString& what) const
{
    throw RemoteError(QStringLiteral("%1: %2.").arg(what, SessionError()).toStdString());
}

void RemoteSession::CheckHostKey(const Server& server, const ConnectOptions& options)
{
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(session_, &key) != SSH_OK)
        Fail(QStringLiteral("%1 sent no host key").arg(name_));
    unsigned char* hash = nullptr;
    size_t length = 0;
    const int hashed = ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &length);
    ssh_key_free(key);
    if (hashed != SSH_OK)
        Fail(QStringLiteral("Cannot read the host key of %1").arg(name_));
    char* text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, length);
    ssh_clean_pubkey_hash(&hash);
    const QString fingerprint = QString::fromLatin1(text);
    ssh_string_free_char(text);
    char* knownHosts = nullptr;
    ssh_options_get(session_, SSH_OPTIONS_KNOWNHOSTS, &knownHosts);
    const QString list = QString::fromLocal8Bit(knownHosts);
    ssh_string_free_char(knownHosts);
    switch (ssh_session_is_known_server(session_)) {
    case SSH_KNOWN_HOSTS_OK:
        return;
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER:
        throw RemoteError(ChangedHostKeyText(server.host, list).toStdString());
    case SSH_KNOWN_HOSTS_NOT_FOUND:
    case SSH_KNOWN_HOSTS_UNKNOWN:
        if (!options.acceptUnknownHost || !options.acceptUnknownHost(server.host, fingerprint))
            throw RemoteError(QStringLiteral("The host %1 is not in %2; its key's fingerprint is %3. Nothing was sent.")
                                  .arg(server.host, list, fingerprint)
                                  .toStdString());
        if (ssh_session_update_known_hosts(session_) != SSH_OK)
            Fail(QStringLiteral("Cannot add %1 to %2").arg(server.host, list));
        return;
    case SSH_KNOWN_HOSTS_ERROR:
        break;
    }
    Fail(QStringLiteral("Cannot check the host key of %1 against %2").arg(server.host, list));
}

void RemoteSession::SignIn(const Server& server, const ConnectOptions& options)
{
    const QString who = server.user + u'@' + server.host;
    int result = SSH_AUTH_DENIED;
    if (server.signIn == zp::SignIn::Agent) {
        result = ssh_userauth_agent(session_, nullptr);
    } else if (server.signIn == zp::SignIn::KeyFile) {
        PassphraseRequest request {&options, server.keyFile};
        ssh_key key = nullptr;
        const int imported = ssh_pki_import_privkey_file(
            QFile::encodeName(server.keyFile).constData(), nullptr, AskPassphrase, &request, &key);
        if (imported != SSH_OK) {
            throw RemoteError((request.asked
                                   ? QStringLiteral("Cannot read the key %1: the passphrase is wrong or was "
                                                    "not given.")
                                   : QStringLiteral("Cannot read the key %1: it is missing or no private key."))
                                  .arg(server.keyFile)
                                  .toStdString());
        }
        result = ssh_userauth_publickey(session_, nullptr, key);
        ssh_key_free(key);
    } else {
        const std::optional<QString> password
            = options.askSecret ? options.askSecret(QStringLiteral("Password for %1: ").arg(who)) : std::nullopt;
        if (!password)
            throw RemoteError(QStringLiteral("No password was given for %1.").arg(who).toStdString());
        result = ssh_userauth_password(session_, nullptr, password->toUtf8().constData());
    }
    if (result == SSH_AUTH_ERROR)
        Fail(QStringLiteral("Cannot sign in to %1 as %2").arg(name_, server.user));
    if (result != SSH_AUTH_SUCCESS) {
        const char* how = server.signIn == zp::SignIn::Agent ? "no key of the SSH agent"
            : server.signIn == zp::SignIn::KeyFile           ? "the key"
                                                             : "the password";
        throw RemoteError(QStringLiteral("%1 refused %2 for %3.").arg(name_, QLatin1String(how), who).toStdString());
    }
}

} // namespace zp
