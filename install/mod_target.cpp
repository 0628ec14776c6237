#include "install/mod_target.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "database/recordset.h"

namespace zp {

ModRecord ModRecordFrom(const Recordset& mods)
{
    return ModRecord {
        mods.Int("ActionType"),
        mods.Int("ModInst"),
        mods.Text("OldData"),
        mods.Text("NewData"),
        mods.Text("FileName"),
        mods.Text("Comment"),
    };
}

ModTarget ModTargetFrom(const AppState& state, const Recordset& mods)
{
    ModTarget target;
    target.directory = ResolveModDirectory(state, LocationIndex(mods.Value("PrimaryDir")), mods.Value("ExtendDir"));
    target.fileName = mods.Text("FileName");
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
