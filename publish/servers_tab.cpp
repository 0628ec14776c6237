#include "publish/servers_tab.h"

#include "app/dialogs.h"
#include "database/database.h"
#include "widgets/window_helpers.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace zp {

ServerDialog::ServerDialog(const Server& server, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent)
    , txtName(new QLineEdit(server.name, this))
    , txtHost(new QLineEdit(server.host, this))
    , spnPort(new QSpinBox(this))
    , txtUser(new QLineEdit(server.user, this))
    , txtFolder(new QLineEdit(server.folder, this))
    , cmbSignIn(new QComboBox(this))
    , txtKeyFile(new QLineEdit(server.keyFile, this))
    , cmdBrowseKey(new QPushButton(tr("&Browse..."), this))
    , txtModes(new QLineEdit(ModesText(server.modes), this))
    , dialogs_(dialogs)
{
    setWindowTitle(server.name.isEmpty() ? tr("New Server") : tr("Server %1").arg(server.name));
    spnPort->setRange(1, 65535);
    spnPort->setValue(server.port);
    txtFolder->setPlaceholderText(tr("/home/admin/public_html/forum"));
    txtModes->setPlaceholderText(tr("CGI=0755,NonCGI=0644"));
    txtModes->setToolTip(tr("The mode of a new file per board location; by default 0755 in the UBB CGI folder and "
                            "0644 elsewhere."));
    // In the order of SignIn.
    cmbSignIn->addItems(
        {tr("SSH agent"), tr("Private key file (its passphrase asked when needed)"), tr("Password (asked each time)")});
    cmbSignIn->setCurrentIndex(int(server.signIn));
    const auto keyFileShown = [this] {
        const bool keyFile = cmbSignIn->currentIndex() == int(SignIn::KeyFile);
        txtKeyFile->setEnabled(keyFile);
        cmdBrowseKey->setEnabled(keyFile);
    };
    connect(cmbSignIn, &QComboBox::currentIndexChanged, this, keyFileShown);
    keyFileShown();
    cmdBrowseKey->setAccessibleName(tr("Browse for the private key file"));
    connect(cmdBrowseKey, &QPushButton::clicked, this, [this] {
        FileDialogOptions options;
        options.title = tr("Private Key File");
        options.initialDir = QDir::homePath() + QStringLiteral("/.ssh");
        options.fileMustExist = true;
        const QStringList chosen = dialogs_.openFiles(options);
        if (!chosen.isEmpty())
            txtKeyFile->setText(chosen.first());
    });

    auto* key = new QHBoxLayout;
    key->addWidget(txtKeyFile, 1);
    key->addWidget(cmdBrowseKey);
    auto* form = new QFormLayout;
    form->addRow(BuddyLabel(tr("&Name:"), txtName, this), txtName);
    form->addRow(BuddyLabel(tr("&Host:"), txtHost, this), txtHost);
    form->addRow(BuddyLabel(tr("&Port:"), spnPort, this), spnPort);
    form->addRow(BuddyLabel(tr("&User:"), txtUser, this), txtUser);
    form->addRow(BuddyLabel(tr("Remote &folder:"), txtFolder, this), txtFolder);
    form->addRow(BuddyLabel(tr("&Sign in with:"), cmbSignIn, this), cmbSignIn);
    form->addRow(BuddyLabel(tr("&Key file:"), txtKeyFile, this), key);
    form->addRow(BuddyLabel(tr("&Modes of new files:"), txtModes, this), txtModes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &ServerDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ServerDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    ResizeInTwips(this, 7200, 4200);
}

Server ServerDialog::Value() const
{
    Server server;
    server.name = txtName->text().trimmed();
    server.host = txtHost->text().trimmed();
    server.port = spnPort->value();
    server.user = txtUser->text().trimmed();
    server.folder = txtFolder->text().trimmed();
    server.signIn = static_cast<SignIn>(cmbSignIn->currentIndex());
    if (server.signIn == SignIn::KeyFile)
        server.keyFile = txtKeyFile->text().trimmed();
    server.modes = ParseModes(txtModes->text());
    return server;
}

void ServerDialog::accept()
{
    QString refusal;
    try {
        refusal = CheckServer(Value());
    } catch (const ServerError& e) {
        refusal = QString::fromStdString(e.what());
    }
    if (!refusal.isEmpty()) {
        dialogs_.messageBox(refusal, windowTitle(), MsgButtons::OK, MsgIcon::Exclamation);
        return;
    }
    QDialog::accept();
}

ServersTab::ServersTab(Database& db, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent)
    , lstServers(new QListWidget(this))
    , cmdAdd(new QPushButton(tr("&Add..."), this))
    , cmdEdit(new QPushButton(tr("&Edit..."), this))
    , cmdRemove(new QPushButton(tr("Re&move"), this))
    , db_(db)
    , dialogs_(dialogs)
{
    lstServers->setAccessibleName(tr("Servers"));
    connect(cmdAdd, &QPushButton::clicked, this, [this] { Edit(Server(), QString()); });
    const auto edit = [this] {
        if (const QListWidgetItem* item = lstServers->currentItem())
            Edit(FindServer(db_, item->data(Qt::UserRole).toString()).value_or(Server()),
                 item->data(Qt::UserRole).toString());
    };
    connect(cmdEdit, &QPushButton::clicked, this, edit);
    connect(lstServers, &QListWidget::itemActivated, this, edit);
    connect(cmdRemove, &QPushButton::clicked, this, &ServersTab::Remove);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {cmdAdd, cmdEdit, cmdRemove})
        buttons->addWidget(button);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(lstServers, 1);
    layout->addLayout(buttons);
    Fill();
}

void ServersTab::Fill(const QString& selected)
{
    lstServers->clear();
    for (const Server& server : ListServers(db_)) {
        auto* item = new QListWidgetItem(
            tr("%1 — %2@%3:%4 %5").arg(server.name, server.user, server.host).arg(server.port).arg(server.folder),
            lstServers);
        item->setData(Qt::UserRole, server.name);
        if (server.name == selected || lstServers->count() == 1)
            lstServers->setCurrentItem(item);
    }
    cmdEdit->setEnabled(lstServers->count() > 0);
    cmdRemove->setEnabled(lstServers->count() > 0);
}

void ServersTab::Edit(const Server& server, const QString& old)
{
    ServerDialog dialog(server, dialogs_, this);
    while (dialog.exec() == QDialog::Accepted) {
        try {
            const Server value = dialog.Value();
            Transaction change(db_);
            if (!old.isEmpty())
                RemoveServer(db_, old);
            AddServer(db_, value);
            change.Commit();
            return Fill(value.name);
        } catch (const std::exception& e) {
            dialogs_.messageBox(
                QString::fromStdString(e.what()), dialog.windowTitle(), MsgButtons::OK, MsgIcon::Exclamation);
        }
    }
}

void ServersTab::Remove()
{
    const QListWidgetItem* item = lstServers->currentItem();
    if (!item)
        return;
    const QString name = item->data(Qt::UserRole).toString();
    const QString question = tr("Remove the server %1? Its publishes' backups stay in the backups folder.").arg(name);
    if (dialogs_.messageBox(question, tr("Servers"), MsgButtons::YesNoDefaultNo, MsgIcon::Question) != MsgAnswer::Yes)
        return;
    RunGuarded(dialogs_, tr("Servers"), [&] {
        RemoveServer(db_, name);
        Fill();
    });
}

} // namespace zp
