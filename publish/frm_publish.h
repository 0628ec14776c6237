#pragma once

#include "app/background_job.h"
#include "publish/publish_job.h"

#include <QWidget>
#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;

namespace zp {

struct AppState;
class FlexGrid;
class MainFrame;

// The publish window of one hack: the files its last installation wrote to the output folder, sent
// to a board's server. "&Check" lists what a publish would do with each file (new, replaced,
// unchanged, refused) without writing anything; a refused file is sent only when its box is checked.
// "P&ublish" sends the files, "&Revert Publish" undoes the hack's last publish to the server. Each
// runs in the background under the job lock, on a state of its own, while the window shows its
// progress; "Ca&ncel" stops it between files. The window stays with the hack it was opened for.
class frmPublish : public QWidget
{
    Q_OBJECT

public:
    frmPublish(MainFrame& main, int hackNum, QWidget* parent = nullptr);
    ~frmPublish() override;

    // Sizes and centres the window, lists the servers and the installation's files.
    void Load();
    int HackNum() const { return hackNum_; }
    bool IsRunning() const { return job_.IsRunning(); }
    // Shows the files and their states as a check or a publish left them.
    void ShowFiles(const std::vector<PublishFile>& files);

    // Where host keys are checked: OpenSSH's ~/.ssh/known_hosts when empty.
    QString knownHostsFile;

    QComboBox* cmbServer;
    QTableWidget* tblFiles;
    FlexGrid* fgLog;
    QProgressBar* prgFiles;
    QLabel* lblStatus;
    QPushButton* cmdCheck;
    QPushButton* cmdPublish;
    QPushButton* cmdCancel;
    QPushButton* cmdRevert;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Run;
    enum class Job { Check, Publish, Revert };

    void LayOut();
    // Starts the job on the chosen server; EndJob follows.
    void Start(Job job);
    void EndJob(const QString& error);
    // The connection's questions, asked through the dialogs seam from the job's thread.
    ConnectOptions Connect() const;
    void SetRunning(bool running);
    QString Summary() const;
    void Message(const QString& text);

    AppState& state_;
    const int hackNum_;
    std::vector<PublishFile> files_;
    QTimer* progress_;
    std::shared_ptr<Run> run_; // the job going or last ended
    bool unloaded_ = false;
    BackgroundJob job_; // last: a running job ends before anything it reports to goes
};

// Shows the publish window of the hack in the main window; an open one of that hack comes to the
// front as it is.
frmPublish& ShowPublishWindow(MainFrame& main, int hackNum);

} // namespace zp
