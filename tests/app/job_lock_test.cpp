#include "app/job_lock.h"
#include "app/whole_file.h"
#include "core/catalogue_operations.h"
#include "program_folder_fixture.h"

#include <QDateTime>
#include <QDir>
#include <ctime>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace zp;
using namespace std::chrono_literals;

namespace {

class JobLockTest : public ProgramFolderFixture
{
protected:
    void AddHack()
    {
        CreateHack(state, [](Recordset& hack) { hack.SetValue("Name", "Kept"); });
        ASSERT_TRUE(FindHack(state, "Kept"));
    }

    // Whether the program folder holds no folder of these names within five seconds.
    bool GoneSoon(const QStringList& names) const
    {
        for (int wait = 0; wait < 100 && !QDir(folder.path()).entryList(names, QDir::Dirs).isEmpty(); ++wait)
            std::this_thread::sleep_for(50ms);
        return QDir(folder.path()).entryList(names, QDir::Dirs).isEmpty();
    }
};

} // namespace

TEST_F(JobLockTest, ASecondJobWaitsThenStopsWithTheMessage)
{
    AddHack();
    std::optional<JobLock> first(std::in_place, folder.path(), 0ms);
    state.JobLockWait = 100ms;
    const std::optional<UserMessage> refusal = DeleteHack(state);
    EXPECT_TRUE(dialogs.messages.empty()); // the caller shows it
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->text,
              QString("Another Zenpatch job is using %1 (process %2). Try again when it has finished.")
                  .arg(folder.path())
                  .arg(getpid()));
    EXPECT_EQ(CountRows("SELECT * FROM HackInfo"), 1);

    // The first job ends while the second one waits.
    state.JobLockWait = 10s;
    std::thread end([&first] {
        std::this_thread::sleep_for(200ms);
        first.reset();
    });
    EXPECT_FALSE(DeleteHack(state));
    end.join();
    EXPECT_EQ(CountRows("SELECT * FROM HackInfo"), 0);
}

TEST_F(JobLockTest, TheLockAndTheLeftoversOfAKilledJobAreTakenOver)
{
    const QString board = folder.filePath("board");
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t child = fork();
    if (child == 0) {
        // A job killed in the middle of its writes: nothing of it runs any more.
        JobLock job(folder.path(), 0ms);
        QDir(folder.path()).mkpath("enctemp/half");
        QDir(folder.path()).mkpath("zpk_inst_temp/cgi-bin");
        QDir(folder.path()).mkpath("zpk_inst_temp.old-0badcafe/cgi-bin"); // one it was removing after a job
        QDir(folder.path()).mkpath("zpk_rec_temp/templates");
        QDir(folder.path()).mkpath("zpk_rec_temp.old-0badcafe/templates");
        HeldTemporaryFolder trial(folder.path());
        const QByteArray trialPath = trial.path().toUtf8() + '\n';
        (void)!::write(pipe[1], trialPath.constData(), trialPath.size());
        // A source backup being filled, and one of an older version that never had a manifest.
        QDir(folder.path()).mkpath("backups/7-20240101-000000.unfinished/cgi-bin");
        QDir(folder.path()).mkpath("backups/7-20230101-000000/cgi-bin");
        WholeFile file(folder.path(), board, "index.php");
        file.Write("half");
        _exit(0);
    }
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    ::close(pipe[1]);
    char killedTrial[4096] = {};
    ASSERT_GT(::read(pipe[0], killedTrial, sizeof killedTrial - 1), 0);
    ::close(pipe[0]);
    const QString killed = QString::fromUtf8(killedTrial).trimmed();
    ASSERT_EQ(QDir(board).entryList(QDir::Files | QDir::Hidden).size(), 1);
    // A trial folder in use beside the job stays; both are old enough to have been taken hold of.
    const HeldTemporaryFolder running(folder.path());
    for (const QString& trial : {killed, running.path()}) {
        const timespec old[2] = {{0, UTIME_OMIT}, {std::time(nullptr) - 60, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(trial).constData(), old, 0), 0);
    }

    EXPECT_NO_THROW(JobLock(folder.path(), 0ms));
    EXPECT_TRUE(QDir(board).isEmpty(QDir::Files | QDir::Hidden));
    // The job folders make way at once and go while the job runs.
    for (const char* work : {"enctemp", "zpk_inst_temp", "zpk_rec_temp"})
        EXPECT_FALSE(QFile::exists(folder.filePath(work))) << work;
    EXPECT_TRUE(GoneSoon({"enctemp*", "zpk_inst_temp*", "zpk_rec_temp*"}));
    EXPECT_FALSE(QFile::exists(killed));
    EXPECT_TRUE(QFile::exists(running.path()));
    EXPECT_EQ(QDir(folder.filePath("backups")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList {"7-20230101-000000"});
}

// A job killed between making the lock file and writing its process number into it leaves an empty
// file: the next job takes it over once it is older than the moment a running job needs to write
// its number, unless a process still holds it.
TEST_F(JobLockTest, ALockFileThatNamesNoHolderIsTakenOverWhenNobodyHoldsIt)
{
    const QString path = folder.filePath("zpatch.lock");
    const auto makeEmptyLock = [&](int ageSeconds) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        const QDateTime then = QDateTime::currentDateTime().addSecs(-ageSeconds);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.setFileTime(then, QFileDevice::FileModificationTime));
    };

    makeEmptyLock(0); // a job that is making it now
    EXPECT_THROW(JobLock(folder.path(), 0ms), JobError);

    makeEmptyLock(60);
    const int held = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_THROW(JobLock(folder.path(), 0ms), JobError);
    EXPECT_TRUE(QFile::exists(path));
    ::close(held);

    EXPECT_NO_THROW(JobLock(folder.path(), 0ms));
    EXPECT_FALSE(QFile::exists(path)); // the job took it and let it go
}

TEST_F(JobLockTest, AWorkFolderRemovedLaterMakesWayAtOnce)
{
    const QString work = folder.filePath("zpk_inst_temp");
    QDir().mkpath(work + "/cgi-bin");
    RemoveJobFolderLater(work);
    EXPECT_FALSE(QFile::exists(work));
    // The next job makes its own work folder while the old one goes; nothing of the old one stays.
    EXPECT_TRUE(GoneSoon({"zpk_inst_temp*"}));
}

// A command-line job hands the old work folder to a process of its own: it goes all the same, and
// a link inside it goes as a link, whatever it points at.
TEST_F(JobLockTest, AWorkFolderHandedToAProcessGoesWithoutFollowingLinks)
{
    const QString work = folder.filePath("zpk_inst_temp"), outside = folder.filePath("outside");
    QDir().mkpath(work + "/cgi-bin");
    QDir().mkpath(outside);
    QFile(outside + "/keep.txt").open(QIODevice::WriteOnly);
    QFile::link(outside, work + "/cgi-bin/link");
    RemoveJobFoldersAfterExit();
    RemoveJobFolderLater(work);
    EXPECT_TRUE(GoneSoon({"zpk_inst_temp*"}));
    EXPECT_TRUE(QFile::exists(outside + "/keep.txt"));
}

// The job lock says why it could not be made, not always "Permission denied".
TEST_F(JobLockTest, ALockThatCannotBeMadeSaysTheSystemsReason)
{
    const QString gone = folder.filePath("gone");
    try {
        JobLock lock(gone, 0ms);
        ADD_FAILURE() << "a lock was made in a folder that does not exist";
    } catch (const JobError& e) {
        EXPECT_STREQ(
            e.what(),
            ("Cannot create the job lock " + gone + "/zpatch.lock: No such file or directory").toStdString().c_str());
    }
}

// A FIFO among the job's own files would hold the job forever on its first read: it is refused,
// named, and the job does not start.
TEST_F(JobLockTest, AFifoInPlaceOfTheLockOrThePendingListStopsTheJobNamingIt)
{
    for (const QString name : {"zpatch.lock", "zpatch.lock.rmlock", "zpatch.pending"}) {
        const QString path = folder.filePath(name);
        ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        dialogs.messages.clear();
        EXPECT_FALSE(RunAsJob(state, DatabaseUse::Reads, [] { ADD_FAILURE() << "the job ran"; }));
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_THAT(dialogs.messages[0].text.toStdString(),
                    ::testing::EndsWith(path.toStdString() + ": not a regular file (a FIFO)"));
        QFile::remove(path);
    }
}
