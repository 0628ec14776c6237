#pragma once

#include "app/background_job.h"
#include "authoring/recording.h"

#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace zp {

struct AppState;
class FlexGrid;
class MainFrame;

// Hacks > "New Hack from Changes...": records the changes of an edited copy of the board, a patch
// or written instructions, against the original folder, as a new hack. The recording runs in the
// background on a state of its own (its own database connection) with a progress bar and Cancel;
// the grid lists every changed file with its mods, in red the ones that could not be recorded
// and why. "Open in Editor" opens the stored hack in the hack editor.
class frmRecordHack : public QWidget
{
    Q_OBJECT

public:
    explicit frmRecordHack(MainFrame& main, QWidget* parent = nullptr);
    ~frmRecordHack() override;

    // Sizes and centres the window; the original folder is the configured source folder.
    void Load();
    bool IsRecording() const { return job_.IsRunning(); }

    QLineEdit* txtOriginal;
    QPushButton* cmdBrowseOriginal;
    QRadioButton* optEdited;
    QLineEdit* txtEdited;
    QPushButton* cmdBrowseEdited;
    QRadioButton* optPatch;
    QLineEdit* txtPatch;
    QPushButton* cmdBrowsePatch;
    QRadioButton* optInstructions;
    QLineEdit* txtInstructions;
    QPushButton* cmdBrowseInstructions;
    QLineEdit* txtName;
    QComboBox* cmbType;
    QComboBox* cmbEol;
    QCheckBox* chkPartial;
    QPushButton* cmdRecord;
    QPushButton* cmdCancel;
    QPushButton* cmdOpenEditor;
    FlexGrid* fgFiles;
    QProgressBar* prgRecord;
    QLabel* lblStatus;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Run;

    void StartRecord();
    void EndRecord(const QString& error);
    void ShowResult(const RecordResult& result);
    void SetRecording(bool recording);
    void Message(const QString& text);

    MainFrame& main_;
    AppState& state_;
    BackgroundJob job_;
    std::shared_ptr<Run> run_;
    QTimer* progress_;
    int stored_ = 0;
    bool unloaded_ = false;
};

frmRecordHack& ShowRecordHack(MainFrame& main);

} // namespace zp
