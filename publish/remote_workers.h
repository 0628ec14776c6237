#pragma once

#include "publish/remote_files.h"
#include "publish/remote_session.h"

#include <functional>
#include <memory>
#include <vector>

namespace zp {

struct Server;

// Connections to one server side by side, each used by a thread of its own. SFTP answers each
// request of libssh before the next is sent, so a publish of many small files waits mostly for
// round trips; several connections wait for theirs together.
class RemoteWorkers
{
public:
    // Connects the first session as `connect` says (asking for the host key and the secret), then
    // up to `count` - 1 more with the same answers, each only if it signs in without asking anew.
    // Throws RemoteError when the first cannot connect.
    RemoteWorkers(const Server& server, const ConnectOptions& connect, int count);
    ~RemoteWorkers();

    RemoteFiles& First() { return *workers_.front().files; }
    // Every session looks at every folder again (RemoteFiles::ForgetFolders).
    void ForgetFolders();

    // Runs job(index, files) for every index below `total` on the sessions' threads, and done(index)
    // on the calling thread, in index order, once the job of that index and of all before it are
    // done. Once stop() (asked on the calling thread) says so, no further job starts. With one
    // session, each job runs on the calling thread, followed at once by its done().
    void ForEach(int total,
                 const std::function<void(int index, RemoteFiles& files)>& job,
                 const std::function<void(int index)>& done,
                 const std::function<bool()>& stop);

private:
    struct Worker
    {
        std::unique_ptr<RemoteSession> session;
        std::unique_ptr<RemoteFiles> files;
    };
    std::vector<Worker> workers_;
};

} // namespace zp
