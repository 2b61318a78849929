// The one crossing between the core's code page 936 texts and Qt's QString.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace korvelin {

// Code page 936 bytes to a QString (bytes that do not decode become U+FFFD).
QString ToQString(std::string_view ansi);
// A QString to code page 936 bytes; characters without a code page 936 form become "?".
std::string ToAnsi(const QString& text);
// The longest start of a code page 936 text that fits into `maxBytes` bytes and ends at a
// whole character: a double-byte character is never cut in half.
std::string CutAnsiText(std::string_view ansi, std::size_t maxBytes);

}  // namespace korvelin
