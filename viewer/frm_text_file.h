#pragma once

#include "viewer/find_replace.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zp {

struct AppState;

// The text viewer: one text file shown in a box with find, find next, replace and replace all.
// A new instance is made for every use; what is edited in the box is never written anywhere.
class frmTextFile : public QWidget
{
    Q_OBJECT

public:
    explicit frmTextFile(AppState& state, QWidget* parent = nullptr);

    // Loads CurrentModFilePath, or dialogFileName when that is empty, and clears CurrentModFilePath.
    // A missing file gets the "Unable to locate file." message and false: the caller then discards
    // the window instead of showing it.
    bool Load(const QString& dialogFileName);

    qsizetype LastFoundPosition() const { return finder_.LastFoundPosition(); }

    QPlainTextEdit* rtbTextData;
    QLineEdit* txtFindText;
    QLineEdit* txtReplaceText;
    QCheckBox* chkCase;
    QCheckBox* chkWord;
    QPushButton* FindButton;
    QPushButton* FindNextButton;
    QPushButton* ReplaceButton;
    QPushButton* ReplaceAllButton;
    QPushButton* cmdOK;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Find();
    void FindNext();
    void Replace();
    void ReplaceAll();

    SearchOptions Options() const;
    // Mirrors the box's text (when it changed) and selection into the finder.
    void SyncFinder();
    void ShowOutcome(FindReplace::Outcome outcome);
    void SetReplaceEnabled(bool enabled);
    void LayOut();

    AppState& state_;
    FindReplace finder_;
    bool boxChanged_ = true;
    QLabel* lblFind;
    QLabel* lblReplace;
};

} // namespace zp
