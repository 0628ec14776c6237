#include "publish/servers.h"

#include "app/board_directories.h"
#include "database/database.h"
#include "database/statement.h"

#include <QDir>
#include <QRegularExpression>

namespace zp {

namespace {

const QString Columns = QStringLiteral("[Name], [Host], [Port], [User], [Folder], [SignIn], [KeyFile], [Modes]");

Server ServerOf(const Statement& row)
{
    Server server;
    server.name = row.Column(0).toString();
    server.host = row.Column(1).toString();
    server.port = row.Column(2).toInt();
    server.user = row.Column(3).toString();
    server.folder = row.Column(4).toString();
    server.signIn = static_cast<SignIn>(std::clamp(row.Column(5).toInt(), 0, 2));
    server.keyFile = row.Column(6).toString();
    try {
        server.modes = ParseModes(row.Column(7).toString());
    } catch (const ServerError&) {
        server.modes.clear(); // a damaged value: the defaults
    }
    return server;
}

std::vector<Server> Select(Database& db, const QString& where, const QString& name = QString())
{
    Statement select(db.Handle(), QStringLiteral("SELECT %1 FROM [Servers]%2 ORDER BY [Name]").arg(Columns, where));
    if (!name.isNull())
        select.Bind(1, name);
    std::vector<Server> servers;
    while (select.Step())
        servers.push_back(ServerOf(select));
    return servers;
}

bool IsLocationName(const QString& name)
{
    return LocationNames(0).contains(name) || LocationNames(1).contains(name);
}

} // namespace

std::vector<Server> ListServers(Database& db)
{
    return Select(db, QString());
}

std::optional<Server> FindServer(Database& db, const QString& name)
{
    std::vector<Server> found = Select(db, QStringLiteral(" WHERE [Name] = ?1"), name);
    return found.empty() ? std::nullopt : std::optional<Server>(found.front());
}

QString CheckServer(const Server& server)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z][A-Za-z0-9_.]{0,63}$"));
    if (!name.match(server.name).hasMatch())
        return QStringLiteral("The server name %1 is refused: it must begin with a letter and hold only letters, "
                              "digits, '_' and '.' (64 at most).")
            .arg(server.name);
    if (server.host.trimmed().isEmpty() || server.user.trimmed().isEmpty())
        return QStringLiteral("The server %1 needs a host and a user.").arg(server.name);
    if (server.port < 1 || server.port > 65535)
        return QStringLiteral("The port %1 of the server %2 is not between 1 and 65535.")
            .arg(server.port)
            .arg(server.name);
    if (!server.folder.startsWith(u'/'))
        return QStringLiteral("The remote folder %1 of the server %2 is not given by its full path.")
            .arg(server.folder, server.name);
    if (server.signIn == SignIn::KeyFile && !QDir::isAbsolutePath(server.keyFile))
        return QStringLiteral("The key file %1 of the server %2 is not given by its full path.")
            .arg(server.keyFile, server.name);
    for (const auto& [location, mode] : server.modes) {
        if (!IsLocationName(location) || mode < 0 || mode > 07777)
            return QStringLiteral("The mode %1=%2 of the server %3 names no board location or no mode.")
                .arg(location, QString::number(mode, 8), server.name);
    }
    return QString();
}

void AddServer(Database& db, const Server& server)
{
    if (const QString refusal = CheckServer(server); !refusal.isEmpty())
        throw ServerError(refusal.toStdString());
    if (FindServer(db, server.name))
        throw ServerError(QStringLiteral("There is a server named %1 already.").arg(server.name).toStdString());
    Statement insert(db.Handle(),
                     QStringLiteral("INSERT INTO [Servers] (%1) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)").arg(Columns));
    const QVariantList values {server.name,
                               server.host.trimmed(),
                               server.port,
                               server.user.trimmed(),
                               server.folder,
                               static_cast<int>(server.signIn),
                               server.signIn == SignIn::KeyFile ? QVariant(server.keyFile) : QVariant(),
                               ModesText(server.modes)};
    for (int i = 0; i < values.size(); ++i)
        insert.Bind(i + 1, values[i]);
    insert.Step();
}

bool RemoveServer(Database& db, const QString& name)
{
    if (!FindServer(db, name))
        return false;
    Statement remove(db.Handle(), QStringLiteral("DELETE FROM [Servers] WHERE [Name] = ?1"));
    remove.Bind(1, name);
    remove.Step();
    return true;
}

int NewFileMode(const Server& server, int hackType, int location)
{
    const QString name = LocationNames(hackType).value(location);
    if (const auto own = server.modes.find(name); !name.isEmpty() && own != server.modes.end())
        return own->second;
    return hackType == 0 && location == 0 ? 0755 : 0644;
}

QString ModesText(const std::map<QString, int>& modes)
{
    QStringList parts;
    for (const auto& [location, mode] : modes)
        parts << location + u'=' + QStringLiteral("%1").arg(mode, 4, 8, QChar(u'0'));
    return parts.join(u',');
}

std::map<QString, int> ParseModes(const QString& text)
{
    static const QRegularExpression part(QStringLiteral("^([A-Za-z/]+)=([0-7]{3,4})$"));
    std::map<QString, int> modes;
    for (const QString& item : text.split(u',', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = part.match(item.trimmed());
        if (!match.hasMatch())
            throw ServerError(
                QStringLiteral("%1 is not a location and an octal mode (CGI=0755).").arg(item).toStdString());
        modes[match.captured(1)] = match.captured(2).toInt(nullptr, 8);
    }
    return modes;
}

} // namespace zp
