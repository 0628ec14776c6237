#pragma once

#include "app/app_state.h"
#include "app/scripted_dialogs.h"
#include "core/install_log.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zp::testing {

// A program folder with a fresh database, a board source tree and an output folder.
// UBB locations: "CGI" = cgi-bin, "NonCGI" = html, "Templates" = templates, "Members" not set.
class BoardTree : public ::testing::Test
{
protected:
    BoardTree();
    ~BoardTree() override;

    // A new hack; the returned HackNum is current (CurrentHackNum, HackInfoRecordset row).
    int AddHack(const QString& name, int hackType = 0);
    void AddMod(int hack,
                int order,
                const QString& file,
                int primaryDir,
                const QString& extendDir,
                int action,
                int inst,
                const QString& oldData,
                const QString& newData,
                const QString& comment = QString());
    void AddSupportFile(int hack, const QString& name, int location, const QString& customDir, const QByteArray& data);
    // Makes the hack current as the hack list does.
    void SelectHack(int hack);

    void Write(const QString& path, const QByteArray& bytes);
    QByteArray Read(const QString& path);
    bool Exists(const QString& path);
    // Every file below a folder, relative, sorted.
    QStringList FilesBelow(const QString& folder);

    QTemporaryDir home;
    QString source; // home/board
    QString output; // home/out
    ScriptedDialogs dialogs;
    AppState state;
};

// A "Hack Name:" row: the name, " at " and a time such as 09:05:07 PM.
MATCHER_P(HackNameRow, name, "")
{
    static const QRegularExpression time(QStringLiteral("^ at \\d\\d:[0-5]\\d:[0-5]\\d [AP]M$"));
    const QString prefix = QStringLiteral("Hack Name:") + name;
    return arg.startsWith(prefix) && time.match(arg.mid(prefix.size())).hasMatch();
}

} // namespace zp::testing
