#include "shell/hack_list_openers.h"

#include "analysis/frm_analyze.h"
#include "catalogue/frm_edit_hack.h"
#include "install/frm_install_hack.h"
#include "interchange/frm_export_text.h"
#include "interchange/frm_hack_export.h"
#include "interchange/frm_hack_import.h"

namespace zp {

HackListOpeners ProgramHackListOpeners(MainFrame& main)
{
    HackListOpeners openers;
    openers.ShowHackEditor = [&main] { ShowHackEditor(main); };
    openers.ShowInstaller = [&main] { ShowInstaller(main); };
    openers.ShowAnalysis = [&main] { ShowAnalysis(main); };
    openers.ExportHack = [&main] { ShowHackExport(main); };
    openers.ShowTextExport = [&main] { ShowExportText(main); };
    openers.ImportHack = [&main] { ShowHackImport(main); };
    return openers;
}

frmListHacks& ShowHackList(MainFrame& main, int selectHackNum)
{
    return ShowHackList(main, ProgramHackListOpeners(main), selectHackNum);
}

} // namespace zp
