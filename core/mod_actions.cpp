#include "core/mod_actions.h"

namespace zp {

bool IsActionCode(int actionType)
{
    return actionType >= AddBefore && actionType <= Delete;
}

int ActionCodeOf(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        bool whole = false;
        const qlonglong code = value.toLongLong(&whole);
        return whole && code >= AddBefore && code <= Delete ? int(code) : -1;
    }
    default:
        return -1;
    }
}

QString ActionName(int actionType)
{
    static const QString names[] = {
        QStringLiteral("Add Before"),
        QStringLiteral("Add After"),
        QStringLiteral("Insert"),
        QStringLiteral("Append"),
        QStringLiteral("Replace"),
        QStringLiteral("Delete"),
    };
    return IsActionCode(actionType) ? names[actionType] : QString();
}

} // namespace zp
