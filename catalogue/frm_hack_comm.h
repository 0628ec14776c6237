#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace zp {

class MainFrame;

// The hack editor's controls that the long-text editor writes back into, by display type:
// 1 txtHackComm (hack comments), 2 txtPreMess, 3 txtPostMess, 4 rtbOldData, 5 rtbNewData.
class LongTextTarget
{
public:
    virtual ~LongTextTarget() = default;
    virtual void SetLongText(qint16 DispType, const QString& text) = 0;
};

// The long-text editor: one of the hack editor's long texts in a larger window. "&Save Changes"
// copies the text back into the editor's control, "&Cancel Changes" discards it; the database is
// never written here. A new instance is made for every use.
class frmHackComm : public QWidget
{
    Q_OBJECT

public:
    explicit frmHackComm(LongTextTarget& editor, QWidget* parent = nullptr);

    // Sets the caption for the display type (an unknown type keeps the caption), puts the text in
    // the box and remembers the type for Save.
    void GetType(qint16 DispType, const QString& NewText);
    qint16 DisplayType() const { return dispType_; }
    // True when the text differs from the one the window was given.
    bool Changed() const;
    // Copies the text back into the editor's control, as Save does, and keeps the window open.
    void Apply();

    QPlainTextEdit* txtHackComm;
    QPushButton* cmdSave;
    QPushButton* cmdCancel;

private:
    void Save();

    LongTextTarget& editor_;
    qint16 dispType_ = 0;
    QString given_;
};

// Opens a new long-text editor in the main window, centred, on `text` for the editor's control of
// display type DispType.
frmHackComm* OpenLongTextEditor(MainFrame& main, LongTextTarget& editor, qint16 DispType, const QString& text);

} // namespace zp
