#pragma once

#include "catalogue/frm_list_hacks.h"

namespace zp {

// The windows the program has for the hack list's commands.
HackListOpeners ProgramHackListOpeners(MainFrame& main);

// The program's hack list, with those commands: see ShowHackList(main, openers).
frmListHacks& ShowHackList(MainFrame& main, int selectHackNum = 0);

} // namespace zp
