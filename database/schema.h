#pragma once

#include <QStringList>

namespace zp::schema {

// The four tables of the hack database, in creation order.
inline const QStringList TableNames = {"HackInfo", "HackData", "HackFiles", "MainConfig"};

// The statements that create the tables and their indexes in an empty database.
QStringList CreateStatements();

} // namespace zp::schema
