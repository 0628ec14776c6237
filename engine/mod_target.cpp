#include "engine/mod_target.h"

#include "app/board_directories.h"
#include "database/recordset.h"

namespace zp {

namespace {

QString TextOf(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

} // namespace

ModReader::ModReader(const Recordset& mods)
    : mods_(mods)
    , actionType_(mods.FieldIndex(QStringLiteral("ActionType")))
    , modInst_(mods.FieldIndex(QStringLiteral("ModInst")))
    , oldData_(mods.FieldIndex(QStringLiteral("OldData")))
    , newData_(mods.FieldIndex(QStringLiteral("NewData")))
    , fileName_(mods.FieldIndex(QStringLiteral("FileName")))
    , comment_(mods.FieldIndex(QStringLiteral("Comment")))
    , primaryDir_(mods.FieldIndex(QStringLiteral("PrimaryDir")))
    , extendDir_(mods.FieldIndex(QStringLiteral("ExtendDir")))
    , modOrder_(mods.FieldIndex(QStringLiteral("ModOrder")))
{
}

ModRecord ModReader::Record() const
{
    return ModRecord {
        ActionCodeOf(mods_.Value(actionType_)),
        mods_.Value(modInst_).toInt(),
        TextOf(mods_.Value(oldData_)),
        TextOf(mods_.Value(newData_)),
        TextOf(mods_.Value(fileName_)),
        TextOf(mods_.Value(comment_)),
    };
}

const ModTarget& ModReader::Target(const BoardLayout& layout)
{
    QVariantList place {mods_.Value(primaryDir_), mods_.Value(extendDir_), mods_.Value(fileName_)};
    if (place == place_ && !place_.isEmpty())
        return target_;
    target_.directory = ResolveModDirectory(layout, LocationIndex(place[0]), place[1]);
    target_.fileName = TextOf(place[2]);
    target_.relativePath = target_.directory.isEmpty() ? target_.fileName : target_.directory + u'/' + target_.fileName;
    // Any root will do: the question is only whether the relative path stays below it.
    target_.insideRoot
        = !target_.fileName.isEmpty() && JoinInsideRoot(QStringLiteral("/board"), target_.relativePath).has_value();
    place_ = std::move(place);
    return target_;
}

int ModReader::Order() const
{
    return mods_.Value(modOrder_).toInt();
}

ModRecord ModRecordFrom(const Recordset& mods)
{
    return ModReader(mods).Record();
}

ModTarget ModTargetFrom(const BoardLayout& layout, const Recordset& mods)
{
    return ModReader(mods).Target(layout);
}

QString Below(const QString& root, const QString& relative)
{
    return relative.isEmpty() ? root : root + u'/' + relative;
}

} // namespace zp
