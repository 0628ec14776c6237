#pragma once

#include "install/frm_install_hack.h"

#include <vector>

class QComboBox;
class QLabel;

namespace zp {

// The installation window for several hacks at once: the pre-install instructions of each, the
// installation options and the order ("As listed", or the conflict check's safe order); "&Install"
// installs them in one run, each over what the ones before it wrote, into one log. An order with
// a cycle is named and nothing is installed.
class frmInstallSeveral : public frmInstallHack
{
    Q_OBJECT

public:
    // `hacks`: HackNums in the order the hack list shows them.
    frmInstallSeveral(MainFrame& main, std::vector<int> hacks, QWidget* parent = nullptr);

    // Sizes and centres the window, sets the options from the configuration and shows each hack's
    // pre-install instructions under its name.
    void Load();
    const std::vector<int>& Hacks() const { return hacks_; }

    QLabel* lblOrder;
    QComboBox* cmbOrder;

protected:
    bool RunInstall() override;

private:
    std::vector<int> hacks_;
};

// Shows the installation window for these hacks; an open installation window (of one hack or of
// several) is brought to the front as it is.
frmInstallHack& ShowSeveralInstaller(MainFrame& main, const std::vector<int>& hacks);

} // namespace zp
