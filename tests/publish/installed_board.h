#pragma once

#include "board_tree.h"
#include "ssh_server.h"

#include "core/mod_actions.h"
#include "install/installation_run.h"
#include "publish/publish_job.h"
#include "publish/servers.h"

#include <QFile>
#include <map>
#include <memory>

namespace zp::testing {

class QuietHost : public InstallationHost
{
public:
    bool SearchOutputFirst() const override { return false; }
    bool DeleteOutputFirst() const override { return false; }
    bool OverwriteSource() const override { return false; }
    bool LfLineEnds() const override { return true; }
    void AppendInstructionLine(const QString&) override { }
};

inline const QString Page = QString::fromUtf8("html/page one \xc3\xa9.html");

// A UBB hack over two board files (one with spaces and a non-ASCII letter in its name) with two
// support files, installed to the output folder; the live board's folder a copy of the source,
// served by an SSH server of the test's own. Base is BoardTree or a fixture over it.
template <typename Base>
class InstalledBoard : public Base
{
protected:
    void SetUp() override
    {
        Base::SetUp();
        if (!SshServer::Available())
            GTEST_SKIP() << "/usr/sbin/sshd is not installed";
        ssh = std::make_unique<SshServer>();
        ASSERT_TRUE(ssh->Started());
        server = {"live",
                  "127.0.0.1",
                  ssh->Port(),
                  ssh->User(),
                  this->home.filePath("live"),
                  SignIn::KeyFile,
                  ssh->ClientKey(),
                  {}};
        connect.knownHostsFile = ssh->KnownHosts();
        this->Write(this->source + "/cgi-bin/forum.cgi", "# hook\n");
        this->Write(this->source + "/" + Page, "<p>hook</p>\n");
        shoutbox = this->AddHack("Shoutbox");
        const int hack = shoutbox;
        this->AddMod(hack, 1, "forum.cgi", 0, "", AddAfter, 1, "# hook", "shout()");
        this->AddMod(hack, 2, "page one \xc3\xa9.html", 1, "", AddAfter, 1, "<p>hook</p>", "<p>shout</p>");
        this->AddSupportFile(hack, "shout.cgi", 0, "", "#!/usr/bin/perl\n");
        this->AddSupportFile(hack, "shout.txt", 1, "", "words\n");
        this->SelectHack(hack);
        QuietHost host;
        RecordingLog installed;
        ASSERT_EQ(RunInstallation(this->state, hack, host, installed).outcome, InstallOutcome::Completed);
        for (const QString& file : this->FilesBelow(this->source))
            this->Write(live(file), this->Read(this->source + "/" + file));
        QFile::setPermissions(live("cgi-bin/forum.cgi"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString live(const QString& path) const { return this->home.filePath("live/" + path); }

    std::map<QString, QByteArray> Snapshot(const QString& folder)
    {
        std::map<QString, QByteArray> snapshot;
        for (const QString& file : this->FilesBelow(folder))
            snapshot[file] = this->Read(folder + "/" + file);
        return snapshot;
    }

    std::unique_ptr<SshServer> ssh;
    int shoutbox = 0; // the hack installed
    Server server;
    ConnectOptions connect;
};

} // namespace zp::testing
