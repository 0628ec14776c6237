#pragma once

#include "install/modification_engine.h"

#include <QString>

namespace zp {

struct AppState;
class Recordset;

// Where the board file of a mod lives, relative to the source, output and work folders.
struct ModTarget
{
    QString directory; // the mod's location folder (ResolveModDirectory), "" for the board root
    QString fileName; // the mod's FileName
    QString relativePath; // directory + "/" + fileName, or fileName alone at the root
    bool insideRoot = true; // false when location, sub-path or name would lead out of the board
};

// The mod at the current row of a HackData recordset.
ModRecord ModRecordFrom(const Recordset& mods);
ModTarget ModTargetFrom(const AppState& state, const Recordset& mods);

// root + "/" + relative, or root alone when relative is empty.
QString Below(const QString& root, const QString& relative);

} // namespace zp
