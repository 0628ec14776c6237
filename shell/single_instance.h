#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QLocalServer;

namespace zp {

// One program per program folder. The first start listens on a local socket named after the
// folder; a later start hands its hack file (or, without one, only the wish to be seen) to the
// running program and ends, so the file is imported into the catalogue that program shows.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString& programFolder, QObject* parent = nullptr);

    // The socket of a program folder: below $XDG_RUNTIME_DIR when set, else in the temporary
    // folder with the user's id, named from a hash of the folder's canonical path.
    static QString SocketName(const QString& programFolder);

    // A later start: hands `file` (made absolute; empty for none) to the program running for the
    // folder. True once that program has taken it; false when none answers within `timeoutMs`.
    bool HandOver(const QString& file, int timeoutMs = 5000) const;

    // The first start: listens for later starts. A socket left behind by a program that ended is
    // removed first. False when the socket cannot be made (the program then runs on alone).
    bool Listen();

    // Where the files handed over go; the files that came before it was set follow at once.
    void SetReceiver(std::function<void(const QString&)> receiver);

private:
    void Deliver(const QString& file);

    QString name_;
    QLocalServer* server_ = nullptr;
    std::function<void(const QString&)> receiver_;
    QStringList waiting_;
};

} // namespace zp
