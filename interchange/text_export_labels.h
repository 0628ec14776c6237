#pragma once

#include "interchange/hack_description.h"

#include <array>

namespace zp {

// A field of the hack as the text export writes it and reads it back: its label in the hack's
// text (the information lines) or its section title in README.TXT, and its HackInfo column.
struct TextExportLabel
{
    const char* label;
    const char* column;
    OptText HackInfoFields::*field;
};

// "Hack Name: ..." and the other information lines, in the order they are written.
inline const std::array<TextExportLabel, 7> kTextExportInformation = {{
    {"Hack Name: ", "Name", &HackInfoFields::Name},
    {"Author: ", "AuthName", &HackInfoFields::AuthName},
    {"Email Address: ", "AuthEmail", &HackInfoFields::AuthEmail},
    {"Home Page: ", "HomePage", &HackInfoFields::HomePage},
    {"Update Page: ", "UpdateURL", &HackInfoFields::UpdateURL},
    {"Copyright: ", "Copyright", &HackInfoFields::Copyright},
    {"Version: ", "Version", &HackInfoFields::Version},
}};

// README.TXT's sections, in order: each title is underlined with as many dashes as it is long.
inline const std::array<TextExportLabel, 3> kTextExportReadme = {{
    {"Comments by the author", "Comments", &HackInfoFields::Comments},
    {"Pre-Install Information", "PreInstallCom", &HackInfoFields::PreInstallCom},
    {"Post Install Information", "PostInstallCom", &HackInfoFields::PostInstallCom},
}};

} // namespace zp
