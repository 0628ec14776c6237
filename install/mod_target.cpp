#include "install/mod_target.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "database/recordset.h"

namespace zp {

// The field names are literals, so that reading many mods builds no string for each lookup.
ModRecord ModRecordFrom(const Recordset& mods)
{
    return ModRecord {
        mods.Int(QStringLiteral("ActionType")),
        mods.Int(QStringLiteral("ModInst")),
        mods.Text(QStringLiteral("OldData")),
        mods.Text(QStringLiteral("NewData")),
        mods.Text(QStringLiteral("FileName")),
        mods.Text(QStringLiteral("Comment")),
    };
}

ModTarget ModTargetFrom(const AppState& state, const Recordset& mods)
{
    ModTarget target;
    target.directory = ResolveModDirectory(
        state, LocationIndex(mods.Value(QStringLiteral("PrimaryDir"))), mods.Value(QStringLiteral("ExtendDir")));
    target.fileName = mods.Text(QStringLiteral("FileName"));
    target.relativePath = target.directory.isEmpty() ? target.fileName : target.directory + u'/' + target.fileName;
    // Any root will do: the question is only whether the relative path stays below it.
    target.insideRoot
        = !target.fileName.isEmpty() && JoinInsideRoot(QStringLiteral("/board"), target.relativePath).has_value();
    return target;
}

QString Below(const QString& root, const QString& relative)
{
    return relative.isEmpty() ? root : root + u'/' + relative;
}

} // namespace zp
