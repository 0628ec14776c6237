#pragma once

#include <QStringList>

namespace zp::schema {

// The four tables of the hack database, in creation order.
inline const QStringList TableNames = {"HackInfo", "HackData", "HackFiles", "MainConfig"};

// The statements that create the tables and their indexes in an empty database.
QStringList CreateStatements();

// The tables a database made by an earlier version lacks: each statement creates one unless it is
// there already, so that an existing catalogue gains it when it is opened.
QStringList AddedTableStatements();

// Whether the column holds text of any length that a list of hacks does not need (the hack's
// comments and messages): such a column is read only when its value is asked for. A mod's texts are
// read with the mod, since whoever reads the mods applies or shows them.
bool IsLongText(const QString& table, const QString& column);

} // namespace zp::schema
