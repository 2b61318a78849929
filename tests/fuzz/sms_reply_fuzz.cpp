// The SMS gateway's reply, on any bytes: the escape decoder and the text the notifier logs.
// A decoded text holds no NUL (a text ends there), and text with nothing to decode comes out
// as it went in.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "notify/sms_notifier.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvelin;
  const std::string_view bytes = fuzz::Bytes(data, size);

  const std::string decoded = UnescapeText(bytes);
  KORVELIN_FUZZ_CHECK(decoded.find('\0') == std::string::npos);
  KORVELIN_FUZZ_CHECK(SmsReplyLogText(bytes).find('\0') == std::string::npos);

  // Printable ASCII without backslash, "%", apostrophe and the stand-in "{$}": nothing to
  // decode.
  bool plain = bytes.find("{$}") == std::string_view::npos;
  for (const char c : bytes) {
    plain = plain && c >= 0x20 && c < 0x7F && c != '\\' && c != '%';
  }
  if (plain) KORVELIN_FUZZ_CHECK(decoded == bytes);
  return 0;
}
