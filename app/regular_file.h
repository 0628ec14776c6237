#pragma once

#include <QFile>
#include <QString>

namespace zp {

// Opens file.fileName() for reading when it is a regular file (a link to one counts), else leaves
// it closed and sets `reason`: the system's text, or "Not a regular file". The open does not wait
// (a FIFO would hold it until a writer came) and the opened file is what is checked, so what is
// read is what was checked.
bool OpenRegularFile(QFile& file, QString& reason);

} // namespace zp
