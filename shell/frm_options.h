#pragma once

#include "app/configuration.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace zp {

struct AppState;
class ServersTab;

// The Options dialog: board folders, installation defaults, the author details new hacks start
// with and the boards' servers. Loads from the configuration row when created; "Save Changes" validates and stores
// through the configuration store, "Cancel Changes" closes without writing.
class frmOptions : public QDialog
{
    Q_OBJECT

public:
    frmOptions(AppState& state, QWidget* parent = nullptr);

    // The controls' values as the configuration store takes them.
    OptionsValues Values() const;

    QTabWidget* SSTab1;
    // Local Paths
    QLineEdit* txtSourceDir;
    QLineEdit* txtOutputDir;
    QPushButton* cmdSetSource;
    QPushButton* cmdSetOutput;
    // UBB
    QLineEdit* txtUBBRootDir; // shown for orientation only: never loaded or saved
    QLineEdit* txtUBBCGIDir;
    QLineEdit* txtUBBNonCGIDir;
    QLineEdit* txtUBBMembersDir;
    QLineEdit* txtUBBVariablesDir;
    QLineEdit* txtUBBTemplatesDir;
    // vBulletin
    QLineEdit* txtvbRootDir;
    QLineEdit* txtvbAdminDir;
    QLineEdit* txtvbModDir;
    QLineEdit* txtvbImageDir;
    QLineEdit* txtvbSmilieDir;
    QLineEdit* txtvbPollsDir;
    QLineEdit* txtvbIconsDir;
    QLineEdit* txtvbAttachDir;
    // Servers: stored as they are added, changed or removed
    ServersTab* tabServers;
    // [ Zenpatch Defaults ]
    QComboBox* cmbDefHackType;
    QComboBox* cmbEOL;
    QCheckBox* chkValMods;
    QCheckBox* chkOverSource;
    QCheckBox* chkDelOutputDir;
    QCheckBox* chkUseOutputDir;
    QCheckBox* chkFileAssoc;
    // [ Hack Author Information ]
    QLineEdit* txtAuthName;
    QLineEdit* txtAuthEmail;
    QLineEdit* txtHomePage;
    QLineEdit* txtUpdateURL;
    QLineEdit* txtCopyright;
    QTabWidget* SSTab2;
    QPlainTextEdit* txtHackComm;
    QPlainTextEdit* txtPreInstallComm;
    QPlainTextEdit* txtPostInstallComm;

    QPushButton* cmdSave;
    QPushButton* cmdCancel;

private:
    QWidget* CreateLocalPathsTab();
    // A tab of labelled folder boxes, one a row; each box is stored through its pointer.
    struct FolderBox
    {
        QLineEdit** box;
        const char* name;
        const char* label;
    };
    QWidget* CreateFolderTab(const QList<FolderBox>& boxes);
    QGroupBox* CreateDefaultsFrame();
    QGroupBox* CreateAuthorFrame();
    void LoadValues();
    void BrowseInto(QLineEdit* box, const QString& title);
    void Save();

    AppState& state_;
};

} // namespace zp
