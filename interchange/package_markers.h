#pragma once

namespace zp {

// The lines that open and close one embedded file of the package text; the block label follows.
inline constexpr const char* StartFileMarker = "[ZPKSTARTFILE]|";
inline constexpr const char* EndFileMarker = "[ZPKENDFILE]|";

} // namespace zp
