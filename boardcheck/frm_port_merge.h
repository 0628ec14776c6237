#pragma once

#include "app/background_job.h"
#include "boardcheck/hack_port.h"
#include "boardcheck/port_by_person.h"

#include <QWidget>
#include <memory>
#include <optional>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace zp {

class MainFrame;

// The three-way view of a mod the port could not carry: side by side the board file of the release
// the hack was written for, what the hack made of it and the new release's, the lines where the hack
// and the release conflict coloured and listed (F8 and Shift+F8 go to the next and previous one);
// below them the mod's old data, new data and instance, which a person rewrites for the new release.
// "Try Again" ports the hack alone again with that mod in place of the hack's and proves it, in the
// background on a state of its own; when the proof holds, ModFinished hands the hack's new verdicts
// and the mod to the port that opened the view. Acts on the hack it was given, by its number.
class frmPortMerge : public QWidget
{
    Q_OBJECT

public:
    // `request`: the port the hack was carried in, with the mods people wrote since; `modIndex`: the
    // mod's place among the hack's mods.
    frmPortMerge(MainFrame& main, PortRequest request, PortedHack hack, int modIndex, QWidget* parent = nullptr);

    // Sizes the window and reads the three texts in the background.
    void Load();
    bool IsWorking() const { return job_.IsRunning(); }

    QLabel* lblMod;
    QPlainTextEdit* txtBase;
    QPlainTextEdit* txtOurs;
    QPlainTextEdit* txtTheirs;
    QListWidget* lstConflicts;
    QPlainTextEdit* txtOldData;
    QPlainTextEdit* txtNewData;
    QSpinBox* spnInstance;
    QPushButton* cmdTryAgain;
    QPushButton* cmdClose;
    QLabel* lblResult;

signals:
    void ModFinished(const PortedHack& hack, int modIndex, const ModRecord& mod);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // What a job of the view and the view share: the texts read, or the hack ported again.
    struct Work
    {
        bool reading = false; // the texts, not a port
        std::optional<MergeTexts> texts;
        std::optional<PortedHack> ported;
    };

    void TryAgain();
    void EndWork(const QString& error);
    void ShowTexts(const MergeTexts& texts);
    void ShowPorted(const PortedHack& hack);
    // Puts each text at the conflict listed on `index` (the next or previous one with F8).
    void GoToConflict(int index);
    // The mod as the boxes hold it.
    ModRecord WrittenMod() const;

    AppState& state_;
    PortRequest request_;
    PortedHack hack_;
    int modIndex_;
    std::vector<MergeConflict> conflicts_;
    std::shared_ptr<Work> work_;
    bool unloaded_ = false;
    BackgroundJob job_; // last: a running job ends before anything it reports to goes
};

} // namespace zp
