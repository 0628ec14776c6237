#pragma once

#include "install/installation_run.h"

namespace zp {

// Installation options set once, for a run that no window or command line hosts.
class FixedInstallationOptions : public InstallationHost
{
public:
    bool searchOutput = false, deleteOutput = false, overwriteSource = false, lf = false;

    bool SearchOutputFirst() const override { return searchOutput; }
    bool DeleteOutputFirst() const override { return deleteOutput; }
    bool OverwriteSource() const override { return overwriteSource; }
    bool LfLineEnds() const override { return lf; }
    void AppendInstructionLine(const QString&) override { }
};

} // namespace zp
