#pragma once

#include "boardcheck/board_check.h"

namespace zp {

// Fills SafeOrder with an install order of the checked hacks in which no hack is installed after
// one that breaks it, keeping the given order wherever the pairs leave a choice; when there is
// none, fills Cycle instead.
void SuggestInstallOrder(ConflictCheckResult& result);

} // namespace zp
