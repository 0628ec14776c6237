#pragma once

#include "engine/modification_engine.h"

#include <QString>
#include <QVariant>

namespace zp {

struct BoardLayout;
class Recordset;

// Where the board file of a mod lives, relative to the source, output and work folders.
struct ModTarget
{
    QString directory; // the mod's location folder (ResolveModDirectory), "" for the board root
    QString fileName; // the mod's FileName
    QString relativePath; // directory + "/" + fileName, or fileName alone at the root
    bool insideRoot = true; // false when location, sub-path or name would lead out of the board
};

// Reads the mods of a HackData recordset at its current row, the columns found once: for runs over
// many mods. A mod naming the same place as the one read before it gets that one's target.
class ModReader
{
public:
    explicit ModReader(const Recordset& mods);
    ModRecord Record() const;
    const ModTarget& Target(const BoardLayout& layout);
    int Order() const;

private:
    const Recordset& mods_;
    const int actionType_, modInst_, oldData_, newData_, fileName_, comment_, primaryDir_, extendDir_, modOrder_;
    QVariantList place_; // PrimaryDir, ExtendDir and FileName of the last target
    ModTarget target_;
};

// The mod at the current row of a HackData recordset.
ModRecord ModRecordFrom(const Recordset& mods);
ModTarget ModTargetFrom(const BoardLayout& layout, const Recordset& mods);

// root + "/" + relative, or root alone when relative is empty.
QString Below(const QString& root, const QString& relative);

} // namespace zp
