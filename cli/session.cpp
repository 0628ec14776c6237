#include "cli/session.h"

#include "app/common.h"
#include "cli/arguments.h"
#include "core/catalogue_operations.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <cstdio>

namespace zp::cli {

namespace {

QString AnswerText(MsgAnswer answer)
{
    switch (answer) {
    case MsgAnswer::OK:
        return QStringLiteral("OK");
    case MsgAnswer::Cancel:
        return QStringLiteral("Cancel");
    case MsgAnswer::Yes:
        return QStringLiteral("Yes");
    case MsgAnswer::No:
        return QStringLiteral("No");
    case MsgAnswer::Retry:
        return QStringLiteral("Retry");
    case MsgAnswer::Save:
        return QStringLiteral("Save");
    case MsgAnswer::Discard:
        return QStringLiteral("Discard");
    case MsgAnswer::Replace:
        return QStringLiteral("Replace");
    case MsgAnswer::KeepBoth:
        return QStringLiteral("Keep Both");
    }
    return QString();
}

// A word a shell takes as it is: in single quotes unless it holds only safe characters.
QString ShellQuoted(QString word)
{
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9/._+,:@%=-]+$"));
    if (safe.match(word).hasMatch())
        return word;
    return u'\'' + word.replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

} // namespace

MsgAnswer TerminalDialogs::messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon)
{
    MsgAnswer answer = ScriptedDialogs::messageBox(text, title, buttons, icon);
    QString line = title + QStringLiteral(": ") + text;
    if (buttons != MsgButtons::OK) {
        const auto own = ownAnswers_.find(text);
        const bool asksYes = buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel
            || buttons == MsgButtons::YesNoDefaultNo;
        if (own != ownAnswers_.end())
            answer = own->second.answer;
        else if (yes_ && asksYes)
            answer = MsgAnswer::Yes;
        line += u' ' + AnswerText(answer);
        if (own != ownAnswers_.end() && !own->second.reason.isEmpty())
            line += QStringLiteral(" \u2014 ") + own->second.reason;
    }
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    return answer;
}

void TerminalDialogs::AnswerItself(const QString& question, MsgAnswer answer, const QString& reason)
{
    ownAnswers_[question] = {answer, reason};
}

int PrintLog(const RecordingLog& log)
{
    for (const LogRow& row : log.rows)
        std::printf("%s\n", FormatLogRow(row).toUtf8().constData());
    return log.AnyRed() ? exitFailed : exitSuccess;
}

QString ExecutableFolder()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section('/', 0, -2);
}

Session::Session(const GlobalOptions& options, Configuring configuring)
    : dialogs(options.yes)
    , state(ProgramFolder(ExecutableFolder()), dialogs)
{
    const QString database = state.ProgramFolder + QLatin1Char('/') + Database::FileName;
    // Anything else in its place (a FIFO) is opened, and refused naming what it is.
    if (!QFileInfo::exists(database)) {
        const QString home = qEnvironmentVariable("ZENPATCH_HOME").isEmpty()
            ? QString()
            : QStringLiteral("--home ") + ShellQuoted(state.ProgramFolder) + u' ';
        throw CommandError("Missing Database!: Unable to locate your database file, please download a new one from "
                           "the Zenpatch web site. ("
                           + database.toStdString() + "); to start an empty one there, run: zenpatch-cli "
                           + home.toStdString() + "init-db");
    }
    try {
        OpenDatabase(state);
        if (LoadConfiguration(state) != ConfigurationLoad::Loaded && configuring == Configuring::No)
            std::fprintf(stderr,
                         "zenpatch-cli: Zenpatch is not configured yet; run: zenpatch-cli config set SourceDir DIR "
                         "OutputDir DIR\n");
    } catch (const DatabaseError& e) {
        throw CommandError("cannot open the database " + database.toStdString() + ": " + e.what());
    }
}

Session::~Session()
{
    CloseDatabase(state);
}

int Session::SelectHack(const std::string& hack)
{
    // Every command reads the hack's mods in the order its job needs, so they are not read here.
    if (!FindHack(state, ArgumentText(hack), ModsRead::ByTheJob))
        throw CommandError("no hack " + hack);
    return state.CurrentHackNum;
}

std::vector<int> Session::NamedHacks(const std::vector<std::string>& hacks)
{
    std::vector<int> hackNums;
    for (const std::string& hack : hacks)
        hackNums.push_back(SelectHack(hack));
    return hackNums;
}

} // namespace zp::cli
