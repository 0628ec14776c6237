#pragma once

// How GoogleTest prints Qt's text and bytes when a comparison fails: as quoted text, not as a dump
// of the object's bytes (a QStringList prints as a list of such texts). Every test that uses Qt includes it (see
// CMakeLists.txt).
#include <QByteArray>
#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* out)
{
    *out << '"';
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\')
            *out << '\\' << c;
        else if (byte >= 0x20 && byte < 0x7f)
            *out << c;
        else
            *out << "\\x"
                 << "0123456789abcdef"[byte >> 4] << "0123456789abcdef"[byte & 15];
    }
    *out << '"';
}
