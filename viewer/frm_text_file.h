#pragma once

#include "viewer/find_replace.h"
#include "viewer/text_file_reader.h"

#include <QWidget>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace zp {

struct AppState;
class MainFrame;

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

    // A large text fills the box in the background after Load and Replace All; every search first
    // finishes it.
    bool IsLoading() const;
    void FinishLoading();

    qsizetype LastFoundPosition() const { return finder_.LastFoundPosition(); }

    // Room for every control side by side and a few lines of text.
    QSize minimumSizeHint() const override;

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
    void StartFilling();
    // One turn of the background filling.
    void AppendPieces();
    // Appends at least one piece, and more until the box holds the given position.
    void AppendUpTo(qsizetype position);
    // Appends one piece, then more while the text lasts and `more` holds for the end of the box.
    void AppendWhile(const std::function<bool(qsizetype end)>& more);
    void FinishFilling();
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
    int ButtonWidth() const;
    // The search row without its two boxes.
    int SearchRowFixedWidth() const;

    AppState& state_;
    TextFileReader reader_;
    FindReplace finder_;
    bool boxChanged_ = true;
    QLabel* lblFind;
    QLabel* lblReplace;
    QTimer* loader_;
    QProgressBar* fillProgress_;
};

// Opens a new text viewer in the main window on CurrentModFilePath, or on dialogFileName (the file
// chosen in the main window's open dialog) when that is empty. Returns nullptr when the file is
// missing: the message has been shown and no window stays open.
frmTextFile* OpenTextViewer(MainFrame& main, const QString& dialogFileName = QString());

} // namespace zp
