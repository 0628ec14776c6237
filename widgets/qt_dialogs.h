#pragma once

#include "app/dialogs.h"

#include <memory>

class QFileDialog;
class QMessageBox;
class QWidget;

namespace zp {

// The program's dialogs: Qt message boxes, file, folder and font dialogs, owned by the main window.
// A job that runs off the window thread (BackgroundJob) may show message boxes and ask for a secret
// too: the box opens on the window thread while the job waits for the answer.
class QtDialogs : public Dialogs
{
public:
    explicit QtDialogs(QWidget* owner = nullptr)
        : owner_(owner)
    {
    }
    void SetOwner(QWidget* owner) { owner_ = owner; }

    MsgAnswer messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon) override;
    QStringList openFiles(const FileDialogOptions& options) override;
    QString saveFile(const FileDialogOptions& options) override;
    QString chooseFolder(const QString& title, const QString& initialDir) override;
    std::optional<FontChoice> chooseFont(const FontChoice& initial) override;
    std::optional<QString> askSecret(const QString& prompt, const QString& title) override;

private:
    QWidget* Owner() const;

    QWidget* owner_;
};

// The message box messageBox shows, not shown yet: every button with a word for a caption has an
// Alt key, and the answer a button gives is AnswerOf(box).
std::unique_ptr<QMessageBox>
MakeMessageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon, QWidget* owner);
// The answer of the button that closed the box; Cancel when none did.
MsgAnswer AnswerOf(const QMessageBox& box);

// Gives an open or save dialog its title, filters, folder and proposed name.
void PrepareFileDialog(QFileDialog& dialog, const FileDialogOptions& options);

} // namespace zp
