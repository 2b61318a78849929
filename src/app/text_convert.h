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
// A file path (the file system's bytes, UTF-8) to a QString and back, unchanged by any
// code page: a folder named "jörg" or "Größe" stays that folder.
QString PathToQString(const std::string& path);
std::string QStringToPath(const QString& path);
// The longest start of a code page 936 text that fits into `maxBytes` bytes and ends at a
// whole character: a double-byte character is never cut in half.
std::string CutAnsiText(std::string_view ansi, std::size_t maxBytes);

}  // namespace korvelin
