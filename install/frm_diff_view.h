#pragma once

#include <QByteArray>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace zp {

struct AppState;

// The preview of an installation: the unified diff of what it would write, read-only, in a
// fixed-pitch font with file headers bold, added lines green and removed lines red. "Save As..."
// writes the diff as a patch file, byte for byte. A new instance is made for every preview.
class frmDiffView : public QWidget
{
    Q_OBJECT

public:
    // `failedMods`: how many mods the trial could not apply (they are not in the diff).
    frmDiffView(AppState& state, const QString& hackName, QByteArray diff, int failedMods, QWidget* parent = nullptr);

    QLabel* lblFailed;
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
