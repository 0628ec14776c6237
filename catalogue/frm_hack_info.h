#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zp {

struct AppState;

// The hack information viewer: the descriptive fields of the current row of HackInfoRecordset,
// read-only. Shown modally from the hack list.
class frmHackInfo : public QDialog
{
    Q_OBJECT

public:
    explicit frmHackInfo(AppState& state, QWidget* parent = nullptr);

    QLineEdit* txtHackName;
    QLineEdit* txtHackType;
    QLineEdit* txtAuthName;
    QLineEdit* txtAuthEmail;
    QLineEdit* txtHackVersion;
    QLineEdit* txtHomePage;
    QLineEdit* txtUpdateURL;
    QLineEdit* txtCopyright;
    QPlainTextEdit* txtHackComm;
    QPushButton* cmdClose;

private:
    void Load(AppState& state);
};

} // namespace zp
