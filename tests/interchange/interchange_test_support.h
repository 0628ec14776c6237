#pragma once

#include "interchange/hack_description.h"

#include <QByteArray>
#include <QString>

namespace zp::test {

// Bytes of a file below tests/data/interchange.
QByteArray GoldenBytes(const QString& name);

// The small hack of the golden files: two mods, two support files (help.txt, logo.gif).
HackInfoFields LogoHackInfo();
QList<ModEntry> LogoHackMods();
QList<SupportFileEntry> LogoHackFiles();

// The key line of a key name, with the three-byte delimiter around it.
QByteArray KeyLine(const char* name);

} // namespace zp::test
