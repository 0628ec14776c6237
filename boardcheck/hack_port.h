#pragma once

#include "boardcheck/board_check.h"
#include "boardcheck/mod_carry.h"

#include <QString>
#include <map>
#include <utility>
#include <vector>

namespace zp {

struct AppState;

// One mod of a ported hack (or one support file that needs a person), in the hack's order.
struct PortedMod
{
    int ModOrder = 0; // 0 for a support file
    QString File; // the board file, relative to the board root
    QString Action; // "Add Before", ..., or "Support File"
    ModVerdict Verdict = ModVerdict::NeedsPerson;
    ModRecord Mod; // as it is carried (as it was when it is not)
    QString Reason; // why it needs a person
};

enum class HackVerdict {
    Ported, // every mod carried
    PortedWithGaps, // some mods need a person
    CannotPort, // no mod carried, or the proof failed
};

struct PortedHack
{
    CheckedHack Hack;
    QString Version; // the hack's own
    std::vector<PortedMod> Mods;
    HackVerdict Verdict = HackVerdict::Ported;
    // The first file whose trial installation over the new release is not its merged text.
    QString BrokenFile;
    int StoredAs = 0; // the HackNum of the ported hack once stored
    QString StoredVersion; // and its Version

    int NeedPerson() const;
    int Count(ModVerdict verdict) const;
};

// "ported", "ported, N mods need a person", "cannot port".
QString HackVerdictText(const PortedHack& hack);

struct PortRequest
{
    QString from; // the release the hacks fit
    QString to; // the new release
    std::vector<int> hacks; // every hack, in list order, when empty
    bool store = false; // store the hacks that port (else nothing is kept)
    bool partial = false; // with store: also the hacks some of whose mods need a person, those as they were
    QString label; // the ported hacks' Version is their own, " for " and this
    // Mods written for the new release by a person: by HackNum and the mod's place in its hack.
    std::map<std::pair<int, int>, ModRecord> byPerson;
};

struct PortResult
{
    std::vector<PortedHack> Hacks; // in the order of the request
    bool Cancelled = false; // nothing was stored then

    // Every mod of every hack carried (or found in the release), and every proof held.
    bool AllCarried() const;
};

// Carries each hack to the new release: each board file its mods touch is merged three ways (the
// old release's text, the hack's trial installation over it, the new release's text), each mod
// carried as the merge allows, and the ported hack proved by a trial installation over the new
// release, which must give the merged text of every file whose mods were all carried. A ported
// hack is stored as a new hack beside its original, with its support files; all in one
// transaction, committed only when the request says store and the run was not cancelled. Reads
// the two releases, writes nothing but the database (and a temporary folder); the hack selected
// before is selected again. Runs on the state's connection, under the job lock of its caller.
// Throws std::runtime_error when a hack named is not there or a trial cannot run; nothing is
// stored then.
PortResult RunPort(AppState& state, const PortRequest& request, const BoardCheckControl& control = {});

} // namespace zp
