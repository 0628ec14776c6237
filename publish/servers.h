#pragma once

#include <QString>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

namespace zp {

class Database;

// How Zenpatch signs in to a server. No password or passphrase is ever stored: they are asked for
// each time they are needed.
enum class SignIn { Agent = 0, KeyFile = 1, Password = 2 };

// A board's server: where the files of the source folder live on it, and how to sign in.
struct Server
{
    QString name; // a letter, then letters, digits, '_' or '.': it names the publish's backups
    QString host;
    int port = 22;
    QString user;
    QString folder; // the remote folder that stands for the source folder
    SignIn signIn = SignIn::Agent;
    QString keyFile; // the private key file of SignIn::KeyFile
    std::map<QString, int> modes; // board location name ("CGI", "Images") -> the mode of new files there

    bool operator==(const Server&) const = default;
};

// A server refused or not found; the text says which and why.
class ServerError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The servers, by name.
std::vector<Server> ListServers(Database& db);
std::optional<Server> FindServer(Database& db, const QString& name);
// Throws ServerError for a server that fails CheckServer or whose name is taken.
void AddServer(Database& db, const Server& server);
// False when there is no such server.
bool RemoveServer(Database& db, const QString& name);
// Why the server cannot be kept: a bad name, no host, user or folder, a relative folder, a port out
// of range, a key file not given by its full path, a mode for no location; empty when it can.
QString CheckServer(const Server& server);

// The mode a new file gets at a board location (LocationNames of the hack type, -1 for none): the
// server's own for that location, else 0755 in the UBB CGI folder, where the scripts must run,
// and 0644 anywhere else.
int NewFileMode(const Server& server, int hackType, int location);

// "CGI=0755,Images=0644" and back; ParseModes throws ServerError for anything else.
QString ModesText(const std::map<QString, int>& modes);
std::map<QString, int> ParseModes(const QString& text);

} // namespace zp
