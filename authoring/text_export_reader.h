#pragma once

#include "authoring/recording.h"

#include <QByteArray>
#include <QString>

namespace zp {

// The largest support file an import reads from the folder beside its text.
inline constexpr qint64 kMaxSupportFileBytes = qint64(256) << 20;

// Whether the text is a hack text file of this program's text export (its header line).
bool IsTextExport(const QString& text);

// Reads a text export back (the named text file, README.TXT beside it, the support files in their
// folders) and stores it as a new hack of the request's type, its mods as written, in one
// transaction: export-text then import-text gives the same hack. A mod's or support file's
// location text is placed as PlaceFolder places a folder. Throws std::runtime_error naming what
// cannot be read, a file beside it that is a symbolic link or no regular file, and a name or
// folder that leads out of where it is joined to; nothing is stored then.
RecordResult StoreTextExport(AppState& state, const RecordRequest& request, const QString& hackTextFile);

} // namespace zp
