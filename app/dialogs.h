#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace zp {

// Buttons, icons and answers of a message box. YesNoDefaultNo: Yes and No with No as the default
// button, for a question whose Yes cannot be undone. SaveDiscardCancel: unsaved work, Save the
// default. ReplaceKeepBothCancel: a hack that is already in the catalogue, Keep Both the default.
enum class MsgButtons {
    OK,
    OKCancel,
    YesNo,
    YesNoCancel,
    RetryCancel,
    YesNoDefaultNo,
    SaveDiscardCancel,
    ReplaceKeepBothCancel
};
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgAnswer { OK, Cancel, Yes, No, Retry, Save, Discard, Replace, KeepBoth };

// A message that a job or a check hands back to its caller, which shows it (one OK button): the
// core says what went wrong, the window or the command line shows it.
struct UserMessage
{
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::None;
    bool operator==(const UserMessage&) const = default;
};

// What an open or save dialog is asked to show. An empty result means the user cancelled.
struct FileDialogOptions
{
    QString title;
    QString filter; // "Hack Files (*.zpx *.zpp);;All Files (*)"; a caption given apart from
                    // its pattern shows alone: "All Files (*.*) (*)" shows "All Files (*.*)"
    int filterIndex = 0; // zero-based index into the filter list
    QString defaultExt; // without dot
    QString initialDir;
    QString fileName; // proposed file name
    bool fileMustExist = false;
    bool multiSelect = false;
};

// A font as the font dialog returns it (the core stays free of QtGui).
struct FontChoice
{
    QString family;
    int pointSize = 10;
    bool bold = false;
    bool italic = false;
};

// Every message box and every file, folder and font dialog of the program goes through this seam.
// The program uses the Qt implementation; tests use ScriptedDialogs, which never blocks.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    virtual MsgAnswer messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon) = 0;
    virtual QStringList openFiles(const FileDialogOptions& options) = 0;
    virtual QString saveFile(const FileDialogOptions& options) = 0;
    virtual QString chooseFolder(const QString& title, const QString& initialDir) = 0;
    virtual std::optional<FontChoice> chooseFont(const FontChoice& initial) = 0;
    // A password or a key's passphrase, typed into a masked box; nothing when the user cancelled.
    virtual std::optional<QString> askSecret(const QString& prompt, const QString& title) = 0;
};

inline void ShowMessage(Dialogs& dialogs, const UserMessage& message)
{
    dialogs.messageBox(message.text, message.title, MsgButtons::OK, message.icon);
}

inline void ShowMessage(Dialogs& dialogs, const std::optional<UserMessage>& message)
{
    if (message)
        ShowMessage(dialogs, *message);
}

} // namespace zp
