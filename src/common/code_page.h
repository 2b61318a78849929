// Conversions between UTF-8 and code page 936 (GBK), the program's text encoding.
#pragma once

#include <string>
#include <string_view>

namespace korvelin {

// A UTF-8 page as code page 936 text: each invalid UTF-8 byte becomes one "?", and every
// character without a code page 936 form becomes "?". ASCII runs are copied as they are.
std::string Utf8ToAnsi(std::string_view utf8);
// Code page 936 text to UTF-8 (for the widget boundary and for tests); a byte pair that
// does not decode becomes U+FFFD.
std::string AnsiToUtf8(std::string_view ansi);
// UTF-8 to UTF-16 code units; each invalid byte (as Utf8ToAnsi counts them) becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// UTF-16 to UTF-8; a surrogate without its partner cannot be written and becomes "?".
std::string Utf16ToUtf8(std::u16string_view text);
// A UTF-8 literal of the source converted once to code page 936. Use for the system's
// own texts so they stay readable in the source: static const std::string k = Ansi("价格");
std::string Ansi(std::string_view utf8);

}  // namespace korvelin
