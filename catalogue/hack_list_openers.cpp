#include "catalogue/hack_list_openers.h"

#include "catalogue/frm_edit_hack.h"

namespace zp {

HackListOpeners ProgramHackListOpeners(mdiMain& main)
{
    // The installer, analysis, export, text export and import windows join here as they are built.
    HackListOpeners openers;
    openers.ShowHackEditor = [&main] { ShowHackEditor(main); };
    return openers;
}

} // namespace zp
