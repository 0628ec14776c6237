#pragma once

#include "interchange/hack_description.h"

#include <QString>
#include <QVariant>

namespace zp {

class Recordset;

// Nullable fields of the current row of a recordset, and back.
OptText TextField(const Recordset& rs, const QString& field);
OptNumber NumberField(const Recordset& rs, const QString& field);
QVariant FieldValue(const OptText& value);
QVariant FieldValue(const OptNumber& value);

// The travelling fields of a HackInfo or HackData row: read from the current row, or written
// into the new or current row (without Update).
HackInfoFields ReadHackInfoFields(const Recordset& rs);
void WriteHackInfoFields(Recordset& rs, const HackInfoFields& info);
ModEntry ReadModEntry(const Recordset& rs);
void WriteModEntry(Recordset& rs, const ModEntry& mod);

} // namespace zp
