#pragma once

#include "app/dialogs.h"

#include <deque>
#include <vector>

namespace zp {

// A Dialogs implementation for tests and for the command line: answers come from queues filled
// beforehand, every call is recorded. With an empty queue a message box gets its default answer
// (OK, or No / Cancel for questions, Keep Both for a hack already in the catalogue) and a file or
// folder dialog, or a password prompt, counts as cancelled.
class ScriptedDialogs : public Dialogs
{
public:
    struct Message
    {
        QString text;
        QString title;
        MsgButtons buttons;
        MsgIcon icon;
    };

    std::vector<Message> messages; // every message box, in order
    std::vector<FileDialogOptions> fileDialogs; // every open and save dialog, in order
    std::vector<QString> folderDialogs; // titles of every folder dialog
    std::deque<MsgAnswer> answers; // answers for message boxes
    std::deque<QStringList> openResults; // results of openFiles
    std::deque<QString> saveResults; // results of saveFile
    std::deque<QString> folderResults; // results of chooseFolder
    std::deque<std::optional<FontChoice>> fontResults;
    std::vector<QString> secretPrompts; // every password or passphrase prompt, in order
    std::deque<std::optional<QString>> secretResults; // results of askSecret; cancelled when empty

    MsgAnswer messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon) override
    {
        messages.push_back({text, title, buttons, icon});
        if (!answers.empty()) {
            MsgAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return defaultAnswer(buttons);
    }

    QStringList openFiles(const FileDialogOptions& options) override
    {
        fileDialogs.push_back(options);
        return take(openResults, QStringList {});
    }

    QString saveFile(const FileDialogOptions& options) override
    {
        fileDialogs.push_back(options);
        return take(saveResults, QString {});
    }

    QString chooseFolder(const QString& title, const QString&) override
    {
        folderDialogs.push_back(title);
        return take(folderResults, QString {});
    }

    std::optional<FontChoice> chooseFont(const FontChoice&) override
    {
        std::optional<FontChoice> choice;
        if (!fontResults.empty()) {
            choice.swap(fontResults.front());
            fontResults.pop_front();
        }
        return choice;
    }

    std::optional<QString> askSecret(const QString& prompt, const QString&) override
    {
        secretPrompts.push_back(prompt);
        std::optional<QString> secret;
        if (!secretResults.empty()) {
            secret.swap(secretResults.front());
            secretResults.pop_front();
        }
        return secret;
    }

    static MsgAnswer defaultAnswer(MsgButtons buttons)
    {
        switch (buttons) {
        case MsgButtons::OK:
            return MsgAnswer::OK;
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel:
        case MsgButtons::YesNoDefaultNo:
            return MsgAnswer::No;
        case MsgButtons::OKCancel:
        case MsgButtons::RetryCancel:
        case MsgButtons::SaveDiscardCancel:
            return MsgAnswer::Cancel;
        case MsgButtons::ReplaceKeepBothCancel:
            return MsgAnswer::KeepBoth;
        }
        return MsgAnswer::Cancel;
    }

private:
    template <typename T>
    static T take(std::deque<T>& queue, T fallback)
    {
        if (queue.empty())
            return fallback;
        T v = queue.front();
        queue.pop_front();
        return v;
    }
};

} // namespace zp
