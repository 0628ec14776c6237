#pragma once

#include "boardcheck/board_check.h"

namespace zp {

// Fills SafeOrder with an install order of the checked hacks in which no hack is installed after
// one that breaks it, keeping the given order wherever the pairs leave a choice; when there is
// none, fills Cycle instead.
void SuggestInstallOrder(ConflictCheckResult& result);

enum class InstallOrder {
    Given, // as the user listed the hacks
    Safe, // the safe order of the conflict check
};

// The order in which to install several hacks.
struct PlannedOrder
{
    std::vector<int> Hacks; // HackNums; empty when there is no safe order
    QString Cycle; // then "no safe order: A -> B -> A"
    bool Cancelled = false;
};

// The hacks as given, or in the safe order the conflict check finds for them over the source
// folder (RunConflictCheck's promises and errors).
PlannedOrder PlanInstallOrder(AppState& state,
                              const std::vector<int>& hacks,
                              InstallOrder order,
                              const BoardCheckControl& control = {});

} // namespace zp
