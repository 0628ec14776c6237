#include "shell/mod_associate.h"

#include "app/app_state.h"
#include "app/common.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace zp {

namespace {

QString IconName(const QString& mimeType)
{
    return QString(mimeType).replace('/', '-');
}

QString XmlEscaped(const QString& text)
{
    return text.toHtmlEscaped();
}

// Writes the bytes unless the file already holds them; true when the file changed.
bool WriteIfChanged(const QString& path, const QByteArray& bytes)
{
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == bytes)
        return false;
    current.close();
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    return file.commit();
}

bool CopyIfChanged(const QString& source, const QString& destination)
{
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return WriteIfChanged(destination, file.readAll());
}

QByteArray MimePackage(const QList<DocumentType>& types)
{
    QString xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const DocumentType& type : types) {
        xml += "  <mime-type type=\"" + XmlEscaped(type.mimeType) + "\">\n";
        xml += "    <comment>" + XmlEscaped(type.description) + "</comment>\n";
        xml += "    <icon name=\"" + XmlEscaped(IconName(type.mimeType)) + "\"/>\n";
        xml += "    <glob pattern=\"*" + XmlEscaped(type.extension) + "\"/>\n";
        xml += "  </mime-type>\n";
    }
    xml += "</mime-info>\n";
    return xml.toUtf8();
}

QByteArray DesktopEntry(const QString& programId,
                        const QList<DocumentType>& types,
                        const QString& executable,
                        const QString& extraArgs)
{
    QString mimeTypes;
    for (const DocumentType& type : types)
        mimeTypes += type.mimeType + ';';
    const QString trimmed = extraArgs.trimmed();
    const QStringList lines = {
        "[Desktop Entry]",
        "Type=Application",
        "Name=" + programId,
        "GenericName=Bulletin Board Hack Manager",
        "Comment=Keep, install, analyse and exchange bulletin-board hacks",
        "Icon=" + DesktopId(programId),
        "Exec=" + DesktopExecLine(executable, trimmed.isEmpty() ? "%f" : trimmed),
        "Terminal=false",
        "Categories=Development;WebDevelopment;",
        "Keywords=UBB;vBulletin;forum;board;hack;mod;",
        "MimeType=" + mimeTypes,
        // Qt names the windows' X11 class after the executable.
        "StartupWMClass=" + QFileInfo(executable).fileName(),
    };
    return (lines.join('\n') + '\n').toUtf8();
}

void RunIfInstalled(const QString& tool, const QString& folder)
{
    const QString path = QStandardPaths::findExecutable(tool);
    if (path.isEmpty())
        return;
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(path, {folder});
    process.waitForFinished(10000);
}

} // namespace

QString DesktopId(const QString& programId)
{
    return "org.zenpatch." + programId;
}

QString DesktopExecArgument(const QString& argument)
{
    static const QString reserved = " \t\n\"'\\><~|&;$*?#()`";
    bool needsQuotes = false;
    for (QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString result = argument;
    if (needsQuotes) {
        QString quoted;
        for (QChar c : argument) {
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                quoted += '\\';
            quoted += c;
        }
        result = '"' + quoted + '"';
    }
    // The value of a desktop entry key escapes backslashes once more.
    result.replace("\\", "\\\\");
    return result;
}

QString DesktopExecLine(const QString& executable, const QString& arguments)
{
    const QString program = DesktopExecArgument(executable);
    return arguments.isEmpty() ? program : program + ' ' + arguments;
}

void RegisterFileType(const QString& programId,
                      const QList<DocumentType>& types,
                      const QString& executable,
                      const QString& extraArgs,
                      const QString& appIconFile,
                      const QString& dataHome)
{
    if (programId.isEmpty())
        return;
    const QString id = programId.toLower();
    const QString desktopId = DesktopId(programId);
    const QString icons = dataHome + "/icons/hicolor/256x256";

    bool mimeChanged = WriteIfChanged(dataHome + "/mime/packages/" + id + ".xml", MimePackage(types));
    for (const DocumentType& type : types)
        if (!type.iconFile.isEmpty())
            mimeChanged |= CopyIfChanged(type.iconFile, icons + "/mimetypes/" + IconName(type.mimeType) + ".png");
    if (!appIconFile.isEmpty())
        CopyIfChanged(appIconFile, icons + "/apps/" + desktopId + ".png");
    const bool desktopChanged = WriteIfChanged(dataHome + "/applications/" + desktopId + ".desktop",
                                               DesktopEntry(programId, types, executable, extraArgs));

    if (mimeChanged)
        RunIfInstalled("update-mime-database", dataHome + "/mime");
    if (desktopChanged)
        RunIfInstalled("update-desktop-database", dataHome + "/applications");
}

void RegisterFileTypes(const AppState& state, const QString& executable, const QString& dataHome)
{
    if (state.cfgFileAssoc != 1)
        return;
    const QList<DocumentType> types = {
        {".zpx", "application/x-zenpatch-hack", "Zenpatch Hack", ":/zenpatch/icons/zenpatch-hack.png"},
        {".zpp", "application/x-zenpatch-hack-pack", "Zenpatch Hack Pack", ":/zenpatch/icons/zenpatch-hack-pack.png"},
    };
    // A program folder other than the one a plain start finds travels in the command, so that a hack
    // file opened from the desktop goes into the catalogue in use.
    const QString programFolder = QDir::cleanPath(state.ProgramFolder);
    const QString extraArgs = programFolder == DefaultProgramFolder(QFileInfo(executable).absolutePath())
        ? QString()
        : "--home " + DesktopExecArgument(programFolder) + " %f";
    RegisterFileType(kProgramId, types, executable, extraArgs, ":/zenpatch/icons/zenpatch.png", dataHome);
}

} // namespace zp
