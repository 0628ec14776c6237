#pragma once

#include "publish/servers.h"

#include <QDialog>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace zp {

class Database;
class Dialogs;

// The dialog of one server: its name, host, port, user, remote folder and how to sign in. Nothing
// secret is asked or kept here; a password or passphrase is asked when a publish signs in.
class ServerDialog : public QDialog
{
    Q_OBJECT

public:
    ServerDialog(const Server& server, Dialogs& dialogs, QWidget* parent = nullptr);

    // The server as the controls give it.
    Server Value() const;

    QLineEdit* txtName;
    QLineEdit* txtHost;
    QSpinBox* spnPort;
    QLineEdit* txtUser;
    QLineEdit* txtFolder;
    QComboBox* cmbSignIn;
    QLineEdit* txtKeyFile;
    QPushButton* cmdBrowseKey;
    QLineEdit* txtModes;

    // Closes with the server only once CheckServer and the modes take it; says why otherwise.
    void accept() override;

private:
    Dialogs& dialogs_;
};

// The Servers tab of the Options dialog: the boards' servers that a publish sends to. "&Add...",
// "&Edit..." and "Re&move" change the database at once.
class ServersTab : public QWidget
{
    Q_OBJECT

public:
    ServersTab(Database& db, Dialogs& dialogs, QWidget* parent = nullptr);

    QListWidget* lstServers;
    QPushButton* cmdAdd;
    QPushButton* cmdEdit;
    QPushButton* cmdRemove;

private:
    void Fill(const QString& selected = QString());
    // Opens the server dialog on `server`; stores what it gives in place of the server named `old`.
    void Edit(const Server& server, const QString& old);
    void Remove();

    Database& db_;
    Dialogs& dialogs_;
};

} // namespace zp
