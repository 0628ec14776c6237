#include "catalogue/hack_list_openers.h"

namespace zp {

HackListOpeners ProgramHackListOpeners(mdiMain&)
{
    // The hack editor, installer, analysis, export, text export and import windows join here as
    // they are built.
    return {};
}

} // namespace zp
