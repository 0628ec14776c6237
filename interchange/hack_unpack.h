#pragma once

#include "interchange/hack_description.h"

#include <QList>
#include <QString>

namespace zp {

class FileEncoder;

// The largest package text an import expands (2 GiB).
inline constexpr qint64 MaxPackageTextSize = qint64(2) << 30;

// The file is not a hack file: the import stops with the invalid-file message.
struct InvalidHackFile
{
};

// A run-time error of the import, shown with its number and description.
struct ImportError
{
    int number;
    QString description;
};

// A hack ready to be stored: its description and, per support file, its decoded bytes.
struct UnpackedHack
{
    HackDescription description;
    QList<QString> supportFilePaths; // parallel to description.SupportFiles
};

// Why a name or sub-path of the hack would lead out of the folder it is joined to (a support file's
// name that is not a plain file name, a ".." in a sub-path or a mod's file name), in words; empty when
// none does.
QString ConfinementProblem(const HackDescription& description);

// Expands the hack file into the exchange folder, splits the package text into its blocks, reads
// the description and pairs every listed support file with its block. Names and sub-paths from the
// file are checked to stay inside the folders they will be joined to. Throws InvalidHackFile or
// ImportError; nothing is written outside the exchange folder. A description of a version that is
// too old comes back with TooOld set and nothing else checked. The encoder calls go to `encoder`
// when one is given (EncoderCalls).
UnpackedHack UnpackHackFile(const QString& path, const QString& exchange, FileEncoder* encoder = nullptr);

} // namespace zp
