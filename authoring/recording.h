#pragma once

#include "interchange/hack_description.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>
#include <optional>
#include <vector>

namespace zp {

struct AppState;
struct BoardLayout;

// One file that differs between the original board and the edited one.
struct FileChange
{
    QString relativePath; // below the board root, "/" separators
    QString originalPath; // empty for a new file
    QString editedPath; // empty for a deleted file
    QString reason; // set when the file is known not to be recordable (a symbolic link)
};

// What became of one changed file.
struct RecordedFile
{
    QString relativePath;
    int mods = 0;
    bool supportFile = false;
    QString reason; // why it was not recorded; empty when it was

    bool Recorded() const { return reason.isEmpty(); }
};

struct RecordRequest
{
    QString originalRoot; // the board the hack installs onto
    int hackType = 0; // 0 = UBB, 1 = vBulletin: whose directory table places the files
    bool lfLineEnds = false; // the installation's end-of-line option the hack is checked with
    bool partial = false; // store what can be recorded when some file cannot
    HackInfoFields info; // Name and the rest; HackType is set from hackType
};

// Called as the files are worked through; returns false to stop the recording.
using RecordProgress = std::function<bool(int done, int total)>;

// The hack made from the changes, before it is stored.
struct RecordedHack
{
    HackInfoFields info;
    QList<ModEntry> mods;
    QList<SupportFileEntry> supportFiles;
    QList<QString> supportFilePaths; // parallel to supportFiles: the files holding their bytes
    std::vector<RecordedFile> files; // every change, in path order
    bool cancelled = false;

    bool AllRecorded() const;
};

// The files below the two roots whose bytes differ, that only one of them has, or that are symbolic
// links in the edited root, in path order. Throws std::runtime_error when a file cannot be read.
std::vector<FileChange> CompareFolders(const QString& originalRoot, const QString& editedRoot);

// Turns each change into mods (a changed text file), a support file (a new file) or a reason. The
// location of a file is the location of the hack type whose folder holds it most closely; a
// location with an empty folder is the board root. The folders are those the configuration gives
// the request's hack type.
RecordedHack BuildRecordedHack(AppState& state,
                               const RecordRequest& request,
                               const std::vector<FileChange>& changes,
                               const RecordProgress& progress = {});

enum class RecordOutcome {
    Stored, // the hack is stored: everything recorded, or the rest with `partial`
    NotRecorded, // a file could not be recorded and `partial` was not asked for: nothing stored
    NothingChanged, // no file differs
    PromiseBroken, // the trial installation did not give the edited bytes: nothing stored
    Cancelled,
    Halted, // the job could not start or stopped on an error; `error` says why
};

struct RecordResult
{
    RecordOutcome outcome = RecordOutcome::Halted;
    int hackNum = 0;
    std::vector<RecordedFile> files;
    QString brokenFile; // with PromiseBroken: the first file that differs
    QString error;
};

// Stores the hack after a trial installation of it onto the original root (with the request's
// end-of-line option) gave exactly the edited bytes of every recorded file; otherwise nothing is
// stored and the first file that differs is named. One transaction.
// `changes` are those the hack was built from.
RecordResult StoreRecordedHack(AppState& state,
                               const RecordRequest& request,
                               const RecordedHack& hack,
                               const std::vector<FileChange>& changes);

// Builds the hack from the changes and stores it as StoreRecordedHack does.
RecordResult Record(AppState& state,
                    const RecordRequest& request,
                    const std::vector<FileChange>& changes,
                    const RecordProgress& progress = {});

// Runs a recording as one job (JobLock, the database written); Halted with the reason when the job
// cannot start or an error stops it. Nothing is shown: the caller tells the reason.
RecordResult RecordAsJob(AppState& state, const std::function<RecordResult()>& recording);

// The program's work area for the private copies a recording makes, <program folder>/zpk_rec_temp:
// made afresh at once and opened without following a link, removed when the recording is done
// (what a killed one left goes with the next job lock). Throws std::runtime_error when it cannot be
// made.
class RecordingWorkFolder
{
public:
    explicit RecordingWorkFolder(const QString& programFolder);
    ~RecordingWorkFolder();
    RecordingWorkFolder(const RecordingWorkFolder&) = delete;
    RecordingWorkFolder& operator=(const RecordingWorkFolder&) = delete;

    // Writes a private copy at `relative` below the folder and returns its path; every folder and
    // the file are opened from the folder itself, so a link planted inside it is refused, never
    // written through. Throws std::runtime_error naming the failure.
    QString Write(const QString& relative, const QByteArray& bytes) const;

private:
    QString path_;
    int folder_ = -1;
};

// Where a folder of the board lies in a board layout: the location whose folder holds it
// most closely (an empty folder is the board root and holds everything), with the rest of the path
// as the sub-path that mods (ExtendDir) and support files (CustomDir) store: "/sub" below a named
// folder, since the location folder is followed directly by it. Nothing when no location holds it.
struct Placement
{
    int location = -1;
    QString subPath;
};
std::optional<Placement> PlaceFolder(const BoardLayout& layout, const QString& folder);

// The default information of a recorded hack: the name, version "0.0.1", the author fields of the
// configuration.
HackInfoFields RecordedHackInfo(const AppState& state, const QString& name);

} // namespace zp
