#pragma once

#include <QFont>

namespace zp {

// Courier New where it is installed, otherwise the desktop's fixed-pitch font.
inline QFont CourierNewFont()
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

} // namespace zp
