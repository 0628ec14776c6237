#pragma once

#include <functional>

namespace zp {

class mdiMain;

// How the hack list opens the windows of the other subsystems. An empty entry means the program
// has no such window yet: its command stays disabled, with a tooltip saying so.
struct HackListOpeners
{
    std::function<void()> ShowHackEditor; // modeless; its load runs again in edit mode afterwards
    std::function<void()> ShowInstaller; // modeless; enables mnuHackList when it closes
    std::function<void()> ShowAnalysis; // modeless; shows the hack list again when it closes
    std::function<void()> ExportHack; // modal
    std::function<void()> ShowTextExport; // modeless
    std::function<void()> ImportHack; // modal
};

// The windows the program has for the hack list's commands.
HackListOpeners ProgramHackListOpeners(mdiMain& main);

} // namespace zp
