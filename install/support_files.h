#pragma once

#include <QString>
#include <functional>

namespace zp {

struct AppState;
struct BoardLayout;
class LogSink;
class Recordset;

// Writes the FileData of the support file at the current row of `files`, bound for `relative` below
// the output folder, somewhere else than there; throws std::runtime_error naming the failure.
using SupportFileWrite = std::function<void(const QString& relative, Recordset& files)>;

// Writes the support files of the hack `hackNum` below OutputDir, each in its location folder of the
// hack's board `layout`, in file-name order, or hands each to
// `elsewhere` (a trial) after the same checks of its path. False when one of them could not be
// written.
bool WriteSupportFiles(
    AppState& state, int hackNum, const BoardLayout& layout, LogSink& log, const SupportFileWrite& elsewhere = {});

} // namespace zp
