#pragma once

#include "install/mod_pass.h"

#include <QByteArray>
#include <QWidget>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace zp {

struct AppState;
class FlexGrid;

// The preview of an installation: the unified diff of what it would write, read-only, in a
// fixed-pitch font with file headers bold, added lines green and removed lines red; above it the
// mods the trial could not apply, each with its file, action, order, comment and why. "Save As..."
// writes the diff as a patch file, byte for byte. A new instance is made for every preview.
class frmDiffView : public QWidget
{
    Q_OBJECT

public:
    // `failedMods`: the mods the trial could not apply (they are not in the diff).
    frmDiffView(AppState& state,
                const QString& hackName,
                QByteArray diff,
                const std::vector<ModResult>& failedMods,
                QWidget* parent = nullptr);

    QLabel* lblFailed;
    FlexGrid* fgFailed;
    QPlainTextEdit* rtbDiff;
    QPushButton* cmdSaveAs;
    QPushButton* cmdClose;

private:
    void SaveAs();

    AppState& state_;
    QString hackName_;
    QByteArray diff_;
};

} // namespace zp
