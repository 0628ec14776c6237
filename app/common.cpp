#include "app/common.h"

#include "app/app_state.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTime>

namespace zp {

void OpenDatabase(AppState& state)
{
    // Kept as the system has always built it, although SQLite reads only the path.
    state.ConnectionString = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + state.ProgramFolder
        + QLatin1Char('/') + Database::FileName
        + QStringLiteral(";Mode=ReadWrite|Share Deny None;Jet OLEDB:Database Password=") + Database::Key;
    state.Connection.Open(state.ProgramFolder + QLatin1Char('/') + Database::FileName);
    state.ConfigRecordset = std::make_unique<Recordset>(state.Connection);
    state.HackInfoRecordset = std::make_unique<Recordset>(state.Connection);
    state.HackDataRecordset = std::make_unique<Recordset>(state.Connection);
    state.HackFilesRecordset = std::make_unique<Recordset>(state.Connection);
}

void CloseDatabase(AppState& state)
{
    // The recordsets go first: they may hold blob handles on the connection.
    for (auto* recordset :
         {&state.ConfigRecordset, &state.HackInfoRecordset, &state.HackDataRecordset, &state.HackFilesRecordset}) {
        if (*recordset && (*recordset)->IsOpen())
            (*recordset)->Close();
        recordset->reset();
    }
    if (state.Connection.IsOpen())
        state.Connection.Close();
}

QString DefaultProgramFolder(const QString& executableDir)
{
    if (QFileInfo::exists(executableDir + QLatin1Char('/') + Database::FileName))
        return QDir::cleanPath(executableDir);
    return QDir::cleanPath(XdgDataHome() + QStringLiteral("/zenpatch"));
}

QString XdgDataHome()
{
    const QString configured = qEnvironmentVariable("XDG_DATA_HOME");
    if (!configured.isEmpty())
        return configured;
    return QDir::homePath() + QStringLiteral("/.local/share");
}

QString ProgramFolder(const QString& executableDir)
{
    const QString home = qEnvironmentVariable("ZENPATCH_HOME");
    if (!home.isEmpty())
        return QDir::cleanPath(QFileInfo(home).absoluteFilePath());
    const QString folder = DefaultProgramFolder(executableDir);
    const QString database = folder + QLatin1Char('/') + Database::FileName;
    const QString installedTemplate
        = QDir::cleanPath(executableDir + QStringLiteral("/../share/zenpatch/") + Database::FileName);
    if (!QFileInfo::exists(database) && QFileInfo::exists(installedTemplate)) {
        QDir().mkpath(folder);
        if (QFile::copy(installedTemplate, database))
            QFile::setPermissions(database, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    return folder;
}

ProgramArguments SplitProgramArguments(QStringList arguments)
{
    ProgramArguments split;
    const QString option = QStringLiteral("--home");
    if (arguments.size() >= 2 && arguments.first() == option) {
        arguments.removeFirst();
        split.home = arguments.takeFirst();
    } else if (!arguments.isEmpty() && arguments.first().startsWith(option + QLatin1Char('='))) {
        split.home = arguments.takeFirst().mid(option.size() + 1);
    }
    split.commandLine = arguments.join(QLatin1Char(' '));
    return split;
}

QString TimeText(const QString& time)
{
    const QString s = time.isEmpty() ? QTime::currentTime().toString(QStringLiteral("hh:mm:ss")) : time;
    int h = 0; // the numeric value of the leading digits of the first two characters
    for (const QChar c : s.left(2)) {
        if (!c.isDigit())
            break;
        h = h * 10 + c.digitValue();
    }
    if (h > 12)
        return QString::number(h - 12) + s.mid(2, 3) + QStringLiteral("pm");
    if (h > 9)
        return s.left(5) + QStringLiteral("am");
    return s.mid(1, 4) + QStringLiteral("am");
}

QString DateText(const QDate& date)
{
    return date.toString(QStringLiteral("MM-dd-yyyy"));
}

QString TimeStamp(const QDateTime& moment)
{
    return DateText(moment.date()) + QLatin1Char(' ') + TimeText(moment.time().toString(QStringLiteral("hh:mm:ss")));
}

QString TimeStamp()
{
    return TimeStamp(QDateTime::currentDateTime());
}

} // namespace zp
