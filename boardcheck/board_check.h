#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <vector>

namespace zp {

struct AppState;

// How a board check tells its caller how far it has come, and how the caller stops it. Both are
// optional. Progress is called from the thread running the check, once before the first step and
// after each step; the check looks at the cancel flag between steps and, when it is set, returns
// the rows it has so far with Cancelled set.
struct BoardCheckControl
{
    std::function<void(int done, int total)> Progress;
    const std::atomic<bool>* Cancel = nullptr;
};

// A hack as the checks name it.
struct CheckedHack
{
    int HackNum = 0;
    QString Name;
};

// A mod that did not apply in a trial installation.
struct FailingMod
{
    QString Hack; // the name of the hack it belongs to
    QString FileName;
    QString Action; // "Add Before", ... (ActionName)
    int ModOrder = 0;
    QString Comment;
    QString OldData; // the first 60 characters of its old data
};

// ---- Before a board upgrade ----

enum class UpgradeVerdict {
    Fits, // every mod applies now and after the upgrade
    BreaksOnUpgrade, // every mod applies now, not after the upgrade
    AlreadyBroken, // a mod fails now, and one fails after the upgrade
    FixedByUpgrade, // a mod fails now, none after the upgrade
};

// "fits", "breaks on upgrade", "already broken", "fixed by upgrade".
QString UpgradeVerdictText(UpgradeVerdict verdict);

struct UpgradeRow
{
    CheckedHack Hack;
    int Mods = 0;
    int ApplyNow = 0; // mods that apply over the board in use
    int ApplyAfter = 0; // mods that apply over the new release
    QStringList MissingAfter; // board files its mods name that the new release lacks
    UpgradeVerdict Verdict = UpgradeVerdict::Fits;
    // The mods that fail after the upgrade; for "fixed by upgrade" the mods that fail now.
    std::vector<FailingMod> Failing;
};

struct UpgradeCheckResult
{
    std::vector<UpgradeRow> Rows; // in the order the hacks were given
    bool Cancelled = false;

    bool AllFit() const;
};

// Why `folder` cannot be checked as a board: "There is no folder <folder>." or "<folder> is a file,
// not a folder."; empty when it is a folder.
QString BoardFolderProblem(const QString& folder);

// Trial-installs each hack (every hack, in list order, when `hacks` is empty) on its own over
// `currentSource` (the board in use) and over `newSource` (the new release), and compares. Each
// board file is read and decoded once per source. Writes nothing outside a temporary folder and
// leaves the configuration, database and boards untouched; the current hack is selected again at
// the end. Runs on the database connection of `state`: a background job gives it a state of its
// own. Throws std::runtime_error when a hack named is not there or a trial cannot run.
UpgradeCheckResult RunUpgradeCheck(AppState& state,
                                   const QString& newSource,
                                   const QString& currentSource,
                                   const std::vector<int>& hacks,
                                   const BoardCheckControl& control = {});

// ---- Hacks that collide ----

enum class PairVerdict {
    Independent, // both orders apply every mod and give the same bytes
    OrderMatters, // both orders apply every mod, the bytes differ
    FirstBreaksSecond, // a mod of Second fails only when First is installed before it
    SecondBreaksFirst, // a mod of First fails only when Second is installed before it
    Exclusive, // each breaks the other
};

struct ConflictPair
{
    CheckedHack First, Second; // First comes before Second in the hacks checked
    QStringList SharedFiles; // board files both touch, relative to the board root
    PairVerdict Verdict = PairVerdict::Independent;
    // The mods that fail only because the other hack was installed first.
    std::vector<FailingMod> Failing;
};

// "independent", "order matters", "<First> breaks <Second>", "<Second> breaks <First>", "exclusive".
QString PairVerdictText(const ConflictPair& pair);
// Whether the pair breaks in one order or both.
bool Breaks(PairVerdict verdict);

struct ConflictCheckResult
{
    std::vector<CheckedHack> Hacks; // the hacks checked, in the order given
    std::vector<ConflictPair> Pairs; // the pairs that share a board file, in the order of Hacks
    // An install order of Hacks that avoids every "breaks", or empty when there is none ...
    std::vector<CheckedHack> SafeOrder;
    // ... and then a cycle of hacks each of which must come before the next, the first repeated
    // at the end.
    std::vector<CheckedHack> Cycle;
    bool Cancelled = false;

    bool AnyBreaks() const;
    // The safe order as "A, B, C", or "no safe order: A -> B -> A".
    QString OrderText() const;
};

// Trial-installs every pair of the hacks (every hack when `hacks` is empty) that touch a common
// board file (the same location folder and file name) over `source`, in both orders, classifies
// the pair and suggests an install order. Pairs that share no file are not tried. Each board file
// is read and decoded once. The same promises and errors as RunUpgradeCheck.
ConflictCheckResult RunConflictCheck(AppState& state,
                                     const QString& source,
                                     const std::vector<int>& hacks,
                                     const BoardCheckControl& control = {});

} // namespace zp
