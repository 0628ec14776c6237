#include "catalogue/hack_list_openers.h"

#include "catalogue/frm_edit_hack.h"
#include "interchange/frm_export_text.h"
#include "interchange/frm_hack_export.h"
#include "interchange/frm_hack_import.h"

namespace zp {

HackListOpeners ProgramHackListOpeners(mdiMain& main)
{
    // The installer, analysis, export, text export and import windows join here as they are built.
    HackListOpeners openers;
    openers.ShowHackEditor = [&main] { ShowHackEditor(main); };
    openers.ExportHack = [&main] { ShowHackExport(main); };
    openers.ShowTextExport = [&main] { ShowExportText(main); };
    openers.ImportHack = [&main] { ShowHackImport(main); };
    return openers;
}

} // namespace zp
