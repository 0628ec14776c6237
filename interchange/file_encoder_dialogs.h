#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace zp {

class FileEncoder;

// The encoding control's property page as a dialog: the page "General" with its Encoding list.
// OK writes the chosen entry's index into the control's Encoding.
class CFileEncoderPropPage : public QDialog
{
    Q_OBJECT

public:
    CFileEncoderPropPage(FileEncoder& fe, QWidget* parent = nullptr);

    QComboBox* cmbEncoding;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

private:
    void Apply();

    FileEncoder& fe_;
};

// The encoding control's About box: its name and the version the library reports.
class CFileEncoderAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit CFileEncoderAboutBox(QWidget* parent = nullptr);

    // "Version 3.5 Build 3540", from the library's version query.
    static QString VersionText();

    QLabel* lblName;
    QLabel* lblVersion;
    QPushButton* cmdOK;
};

// Shows the About box modally over `parent`.
void ShowFileEncoderAboutBox(QWidget* parent);
// The control's AboutBox (dispatch -552) shows the About box over `parent` from now on.
void SetFileEncoderAboutBox(FileEncoder& fe, QWidget* parent);

} // namespace zp
