#include "interchange/hack_fields.h"

#include "database/recordset.h"

namespace zp {

namespace {

// HackInfo columns and the description fields they travel in, in description order.
struct InfoTextColumn
{
    const char* column;
    OptText HackInfoFields::*field;
};
constexpr InfoTextColumn InfoTextColumns[] = {
    {"Name", &HackInfoFields::Name},
    {"AuthName", &HackInfoFields::AuthName},
    {"AuthEmail", &HackInfoFields::AuthEmail},
    {"HomePage", &HackInfoFields::HomePage},
    {"UpdateURL", &HackInfoFields::UpdateURL},
    {"Copyright", &HackInfoFields::Copyright},
    {"Version", &HackInfoFields::Version},
    {"PreInstallCom", &HackInfoFields::PreInstallCom},
    {"PostInstallCom", &HackInfoFields::PostInstallCom},
    {"Comments", &HackInfoFields::Comments},
};

} // namespace

OptText TextField(const Recordset& rs, const QString& field)
{
    QVariant v = rs.Value(field);
    return v.isNull() ? OptText() : OptText(v.toString());
}

OptNumber NumberField(const Recordset& rs, const QString& field)
{
    QVariant v = rs.Value(field);
    return v.isNull() ? OptNumber() : OptNumber(v.toLongLong());
}

QVariant FieldValue(const OptText& value)
{
    return value ? QVariant(*value) : QVariant();
}

QVariant FieldValue(const OptNumber& value)
{
    return value ? QVariant(*value) : QVariant();
}

HackInfoFields ReadHackInfoFields(const Recordset& rs)
{
    HackInfoFields info;
    info.HackType = NumberField(rs, "HackType");
    for (const InfoTextColumn& c : InfoTextColumns)
        info.*c.field = TextField(rs, c.column);
    return info;
}

void WriteHackInfoFields(Recordset& rs, const HackInfoFields& info)
{
    rs.SetValue("HackType", FieldValue(info.HackType));
    for (const InfoTextColumn& c : InfoTextColumns)
        rs.SetValue(c.column, FieldValue(info.*c.field));
}

ModEntry ReadModEntry(const Recordset& rs)
{
    return {TextField(rs, "FileName"),
            NumberField(rs, "ModInst"),
            NumberField(rs, "ModOrder"),
            NumberField(rs, "PrimaryDir"),
            TextField(rs, "ExtendDir"),
            TextField(rs, "OldData"),
            TextField(rs, "NewData"),
            NumberField(rs, "ActionType"),
            TextField(rs, "Comment")};
}

void WriteModEntry(Recordset& rs, const ModEntry& mod)
{
    rs.SetValue("FileName", FieldValue(mod.FileName));
    rs.SetValue("ModInst", FieldValue(mod.ModInst));
    rs.SetValue("ModOrder", FieldValue(mod.ModOrder));
    rs.SetValue("PrimaryDir", FieldValue(mod.PrimaryDir));
    rs.SetValue("ExtendDir", FieldValue(mod.ExtendDir));
    rs.SetValue("OldData", FieldValue(mod.OldData));
    rs.SetValue("NewData", FieldValue(mod.NewData));
    rs.SetValue("ActionType", FieldValue(mod.ActionType));
    rs.SetValue("Comment", FieldValue(mod.Comment));
}

} // namespace zp
