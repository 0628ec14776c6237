// zenpatch-cli servers list | add NAME ... | remove NAME;
// publish HACK --server NAME [--dry-run] [--force] [--accept-host-key FP];
// revert-publish HACK --server NAME [--backup NAME] [--dry-run]
#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "core/install_log.h"
#include "database/database.h"
#include "publish/publish_backup.h"
#include "publish/publish_job.h"
#include "publish/revert_publish.h"
#include "publish/servers.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace zp::cli {

namespace {

const char* const SignInNames[] = {"agent", "key", "password"};

// The password or passphrase: ZENPATCH_SSH_PASSWORD for scripts, else typed at the terminal
// without echo. Never an argument, which other users could read in the process list.
std::optional<QString> AskSecret(const QString& prompt)
{
    if (const char* secret = std::getenv("ZENPATCH_SSH_PASSWORD"))
        return QString::fromUtf8(secret);
    const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0)
        return std::nullopt;
    termios old {};
    const bool isTerminal = ::tcgetattr(tty, &old) == 0;
    termios quiet = old;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    if (isTerminal)
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    const QByteArray text = prompt.toUtf8();
    [[maybe_unused]] const ssize_t shown = ::write(tty, text.constData(), size_t(text.size()));
    QByteArray line;
    char c = 0;
    while (::read(tty, &c, 1) == 1 && c != '\n')
        line += c;
    if (isTerminal)
        ::tcsetattr(tty, TCSAFLUSH, &old);
    [[maybe_unused]] const ssize_t newline = ::write(tty, "\n", 1);
    ::close(tty);
    return QString::fromUtf8(line);
}

ConnectOptions ConnectFrom(const ParsedArguments& parsed)
{
    ConnectOptions connect;
    const QString accepted = ArgumentText(parsed.value("--accept-host-key").value_or(std::string()));
    connect.acceptUnknownHost = [accepted](const QString& host, const QString& fingerprint) {
        if (!accepted.isEmpty() && accepted == fingerprint)
            return true;
        std::fprintf(stderr,
                     "The host %s is unknown; its key's fingerprint is %s. If that is the server's key, run again "
                     "with --accept-host-key %s\n",
                     host.toUtf8().constData(),
                     fingerprint.toUtf8().constData(),
                     fingerprint.toUtf8().constData());
        return false;
    };
    connect.askSecret = AskSecret;
    return connect;
}

Server ServerNamed(Session& session, const ParsedArguments& parsed)
{
    const QString name = ArgumentText(parsed.value("--server").value_or(std::string()));
    if (name.isEmpty())
        throw CommandError("no --server given");
    const std::optional<Server> server = FindServer(session.state.Connection, name);
    if (!server)
        throw CommandError("there is no server " + name.toStdString() + " (see: servers list)");
    return *server;
}

int AddServerCommand(Session& session, const ParsedArguments& parsed)
{
    Server server;
    server.name = ArgumentText(parsed.positional[1]);
    server.host = ArgumentText(parsed.value("--host").value_or(std::string()));
    server.user = ArgumentText(parsed.value("--user").value_or(std::string()));
    server.folder = ArgumentText(parsed.value("--folder").value_or(std::string()));
    bool isNumber = true;
    server.port = ArgumentText(parsed.value("--port").value_or("22")).toInt(&isNumber);
    if (!isNumber)
        throw CommandError("--port needs a number");
    const int ways
        = int(parsed.value("--key").has_value()) + int(parsed.flag("--agent")) + int(parsed.flag("--password"));
    if (ways > 1)
        throw CommandError("give one of --key FILE, --agent and --password");
    if (parsed.value("--key")) {
        server.signIn = SignIn::KeyFile;
        server.keyFile = ArgumentText(*parsed.value("--key"));
    } else if (parsed.flag("--password")) {
        server.signIn = SignIn::Password;
    }
    try {
        server.modes = ParseModes(ArgumentText(parsed.value("--mode").value_or(std::string())));
        AddServer(session.state.Connection, server);
    } catch (const std::exception& e) {
        throw CommandError(e.what());
    }
    return exitSuccess;
}

} // namespace

int RunServersCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed = ParseArguments(
        args, AnyCount, {"--host", "--port", "--user", "--folder", "--key", "--mode"}, {"--agent", "--password"});
    const std::string what = parsed.positional.empty() ? "list" : parsed.positional[0];
    const size_t count = what == "list" ? 1 : 2;
    if ((what != "list" && what != "add" && what != "remove") || parsed.positional.size() > count
        || (what != "list" && parsed.positional.size() != count))
        throw CommandError("usage: servers list | add NAME --host H --user U --folder DIR ... | remove NAME");
    Session session(options);
    if (what == "add")
        return AddServerCommand(session, parsed);
    if (what == "remove") {
        if (!RemoveServer(session.state.Connection, ArgumentText(parsed.positional[1])))
            throw CommandError("there is no server " + parsed.positional[1]);
        return exitSuccess;
    }
    for (const Server& server : ListServers(session.state.Connection)) {
        const QString line = TabSeparated({server.name,
                                           server.user + u'@' + server.host + u':' + QString::number(server.port),
                                           server.folder,
                                           QLatin1String(SignInNames[int(server.signIn)]),
                                           server.keyFile,
                                           ModesText(server.modes)});
        std::printf("%s\n", line.toUtf8().constData());
    }
    return exitSuccess;
}

int RunPublishCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed = ParseArguments(args, 1, {"--server", "--accept-host-key"}, {"--dry-run", "--force"});
    Session session(options);
    const int hackNum = session.SelectHack(parsed.positional[0]);
    const Server server = ServerNamed(session, parsed);
    RecordingLog log;
    std::vector<PublishFile> files;
    PublishOptions publish;
    publish.dryRun = parsed.flag("--dry-run");
    publish.force = parsed.flag("--force");
    const PublishResult result
        = PublishInstallation(session.state, hackNum, server, ConnectFrom(parsed), publish, log, files);
    ShowMessage(session.dialogs, result.message);
    const PublishOutcome outcome = result.outcome;
    const int status = PrintLog(log);
    if (outcome == PublishOutcome::Failed || outcome == PublishOutcome::HackGone)
        return exitError;
    return outcome == PublishOutcome::Done ? status : exitFailed;
}

int RunRevertPublishCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed
        = ParseArguments(args, 1, {"--server", "--backup", "--accept-host-key"}, {"--dry-run"});
    Session session(options);
    const int hackNum = session.SelectHack(parsed.positional[0]);
    const Server server = ServerNamed(session, parsed);
    const QString name = ArgumentText(parsed.value("--backup").value_or(std::string()));
    QString chosen;
    for (const PublishBackup& backup : ListPublishBackups(session.state.ProgramFolder, hackNum, server.name)) {
        if (name.isEmpty() ? !backup.reverted : backup.name == name) {
            chosen = backup.name;
            break;
        }
    }
    if (chosen.isEmpty())
        throw CommandError("hack " + parsed.positional[0] + " has no publish to " + server.name.toStdString()
                           + (name.isEmpty() ? " left to revert" : " kept as " + name.toStdString()));
    RecordingLog log;
    const RevertPublishResult result
        = RevertPublish(session.state, hackNum, server, ConnectFrom(parsed), chosen, parsed.flag("--dry-run"), log);
    ShowMessage(session.dialogs, result.message);
    const RevertPublishOutcome outcome = result.outcome;
    const int status = PrintLog(log);
    return outcome == RevertPublishOutcome::Failed || outcome == RevertPublishOutcome::HackGone ? exitError : status;
}

} // namespace zp::cli
