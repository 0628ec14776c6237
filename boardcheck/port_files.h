#pragma once

#include "install/mod_pass.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace zp {

// The bytes of a board file the port reads, only when it is a regular file within the port's limit;
// nothing when there is none.
std::optional<QByteArray> ReadBoardFile(const QString& path);
// The file's text as the installation decodes it (CR LF breaks); nothing when there is no file.
std::optional<QString> BoardTextOf(const QString& path);
// The new release's file that the installation would find for the mod of a trial.
QString FileInRelease(const QString& release, const ModResult& result);

} // namespace zp
