#pragma once

#include <QStringList>

namespace zp::schema {

// The four tables of the hack database, in creation order.
inline const QStringList TableNames = {"HackInfo", "HackData", "HackFiles", "MainConfig"};

// The statements that create the tables and their indexes in an empty database.
QStringList CreateStatements();

// Whether the column holds text of any length (the hack's comments and messages, a mod's texts):
// such a column is read only when its value is asked for.
bool IsLongText(const QString& table, const QString& column);

} // namespace zp::schema
