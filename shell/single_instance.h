#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <sys/types.h>
#include <unistd.h>

class QLocalServer;
class QLocalSocket;

namespace zp {

// One program per program folder. The first start listens on a local socket named after the
// folder; a later start hands its hack file (or, without one, only the wish to be seen) to the
// running program and ends, so the file is imported into the catalogue that program shows.
// Both ends deal only with programs of their own user: each checks the user id of the other end.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // `name` is the socket (SocketName); with an empty one the program neither hands over nor
    // listens, and runs on its own. `user` is the user whose programs this one deals with: the
    // caller's own, another only to see that a stranger is ignored.
    explicit SingleInstance(const QString& name, uid_t user = ::getuid(), QObject* parent = nullptr);

    // The socket of a program folder, named from a hash of the folder's canonical path, in a folder
    // only the user can enter: $XDG_RUNTIME_DIR when set, else zenpatch-<user id> in the temporary
    // folder, made for it. Empty (with a warning) when that folder belongs to someone else or
    // others may enter it: another user could otherwise take the name first.
    static QString SocketName(const QString& programFolder);

    // A later start: hands `file` (made absolute; empty for none) to the program running for the
    // folder. True once that program has taken it; false when none of the user's answers within
    // `timeoutMs`.
    bool HandOver(const QString& file, int timeoutMs = 5000) const;

    // The first start: listens for later starts. A socket left behind by a program that ended is
    // removed first. False when the socket cannot be made (the program then runs on alone). A
    // server that stops (it does when a connection cannot be taken for want of file handles)
    // listens again as soon as it can.
    bool Listen();

    // Where the files handed over go; the files that came before it was set follow at once.
    void SetReceiver(std::function<void(const QString&)> receiver);

private:
    // Takes the waiting connections while fewer than the most it holds at once are open.
    void TakeConnections();
    void Read(QLocalSocket* socket);
    void Deliver(const QString& file);

    QString name_;
    uid_t user_;
    QLocalServer* server_ = nullptr;
    QTimer relisten_;
    int open_ = 0; // connections taken and not yet closed
    std::function<void(const QString&)> receiver_;
    QStringList waiting_;
};

} // namespace zp
