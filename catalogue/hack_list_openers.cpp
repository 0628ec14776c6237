#include "catalogue/hack_list_openers.h"

#include "analysis/frm_analyze.h"
#include "catalogue/frm_edit_hack.h"
#include "install/frm_install_hack.h"

namespace zp {

HackListOpeners ProgramHackListOpeners(mdiMain& main)
{
    // The export, text export and import windows join here as they are built.
    HackListOpeners openers;
    openers.ShowHackEditor = [&main] { ShowHackEditor(main); };
    openers.ShowInstaller = [&main] { ShowInstaller(main); };
    openers.ShowAnalysis = [&main] { ShowAnalysis(main); };
    return openers;
}

} // namespace zp
