#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

namespace zp {

// The About window, also the splash screen at start: the program's picture, version and credits,
// links that open in the browser (the manual's through ManualRequested), and an OK button. OK, Return, Escape or a
// click anywhere on the window stops the splash timer (when one is given) and closes the window.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    frmAbout(QWidget* parent, QTimer* splashTimer);

    // "Version " + Major.Minor.Revision of the program.
    static QString VersionText();

    QLabel* picLogo;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblCredits;
    QLabel* lblZPKHome;
    QLabel* lblLinks;
    QPushButton* cmdOK;

    void done(int result) override;

signals:
    // The "Zenpatch manual" link was followed: the main window opens the manual, with its help
    // when the desktop cannot.
    void ManualRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QTimer* splashTimer_;
};

} // namespace zp
