#pragma once

#include "app/common.h"

#include <QList>
#include <QString>

namespace zp {

struct AppState;

// A document type of the program: the file extension with its dot, the MIME type it becomes,
// the description the desktop shows and the file (or Qt resource) of its PNG icon.
struct DocumentType
{
    QString extension;
    QString mimeType;
    QString description;
    QString iconFile;
};

// The program identifier under which the program registers its document types.
inline constexpr const char* kProgramId = ProgramTitle;

// The reverse-DNS form of a program identifier (org.zenpatch.Zenpatch): the name of its desktop
// entry, its program icon and its AppStream metadata, installed or written by RegisterFileType.
QString DesktopId(const QString& programId);

// Associates document types with the program on an XDG desktop, below dataHome:
//   mime/packages/<id>.xml                the MIME types with their globs, comments and icon names;
//   applications/<desktop id>.desktop     a desktop entry that opens such files with the executable;
//   icons/hicolor/256x256/...             the document icons and the program icon (appIconFile,
//                                         as apps/<desktop id>.png);
// where <id> is the program identifier in lower case. The desktop entry is the installed one
// (share/org.zenpatch.Zenpatch.desktop) with the executable's path, so it takes that one's place.
// The file is passed as "%f" unless extra arguments are given (they replace it). Files that already
// hold the same bytes are left alone; when anything changed, update-mime-database and
// update-desktop-database run where installed. Does nothing for an empty identifier; every failure
// is silent.
void RegisterFileType(const QString& programId,
                      const QList<DocumentType>& types,
                      const QString& executable,
                      const QString& extraArgs,
                      const QString& appIconFile,
                      const QString& dataHome);

// Registers the hack (.zpx) and hack pack (.zpp) types for the executable when cfgFileAssoc is 1.
// When the program folder in use is not the one the executable finds by itself, the desktop entry
// passes it with --home.
void RegisterFileTypes(const AppState& state, const QString& executable, const QString& dataHome);

// One argument of a desktop entry's Exec value, quoted as the desktop entry format requires when
// it holds a reserved character.
QString DesktopExecArgument(const QString& argument);
// The Exec value of a desktop entry: the program as such an argument, then the arguments.
QString DesktopExecLine(const QString& executable, const QString& arguments);

} // namespace zp
