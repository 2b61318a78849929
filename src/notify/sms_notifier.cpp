#include "notify/sms_notifier.h"

#include <algorithm>
#include <optional>

#include "common/code_page.h"
#include "common/ports.h"
#include "common/text.h"
#include "common/utilities.h"
#include "net/page_fetcher.h"

// KORVELIN_SMS_ENDPOINT and KORVELIN_SMS_KEY come from the build: the CMake cache variables
// of the same names hold the gateway and its default.

namespace korvelin {

namespace {

// The notice the phone receives. It names no product: it only tells the user to look at
// the program.
constexpr std::string_view kNotice = "Korvelin: a watched product has reached its target price.";

// The gateway's reply is JSON like {"success":false,"error":"Out of quota"}; the error
// member holds the text worth logging.
constexpr std::string_view kTextMemberStart = "\"error\":\"";
constexpr std::string_view kTextMemberEnd = "\"";

constexpr char16_t kRightQuote = u'\u2019';  // stands in for "'" while the text is a literal
constexpr std::u16string_view kLineBreakMark = u"{$}";

// application/x-www-form-urlencoded value: unreserved characters as they are, every other
// byte as %XX.
std::string FormEncode(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : value) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view target,
                          std::u16string_view replacement) {
  std::u16string out;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t hit = text.find(target, pos);
    if (hit == std::u16string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(replacement);
    pos = hit + target.size();
  }
  out.append(text.substr(std::min(pos, text.size())));
  return out;
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool IsOctal(char16_t c) { return c >= u'0' && c <= u'7'; }

// The contents of a single-quoted script string literal, read as the script engine reads
// them. nullopt when the literal would not compile: a line break inside it, or a final
// backslash that escapes the closing quote.
std::optional<std::u16string> ReadQuotedLiteral(std::u16string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\n' || c == u'\r') return std::nullopt;
    if (c != u'\\') {
      out += c;
      continue;
    }
    if (i + 1 >= text.size()) return std::nullopt;
    const char16_t e = text[++i];
    // \b \t \n \v \f \r: one control character each.
    static constexpr std::u16string_view kControlLetters = u"btnvfr";
    static constexpr std::u16string_view kControls = u"\b\t\n\v\f\r";
    if (const size_t control = kControlLetters.find(e); control != std::u16string_view::npos) {
      out += kControls[control];
      continue;
    }
    switch (e) {
      case u'\n':
      case u'\r':
        return std::nullopt;
      case u'x':
        if (i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
          out += static_cast<char16_t>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
          i += 2;
        } else {
          out += e;
        }
        break;
      default:
        if (IsOctal(e)) {
          int value = e - u'0';
          const size_t maxDigits = e <= u'3' ? 3 : 2;
          size_t digits = 1;
          while (digits < maxDigits && i + 1 < text.size() && IsOctal(text[i + 1])) {
            value = value * 8 + (text[++i] - u'0');
            ++digits;
          }
          out += static_cast<char16_t>(value);
        } else {
          out += e;  // \" \' \\ and every other escaped character stand for themselves
        }
        break;
    }
  }
  return out;
}

// The script engine's unescape(): %uXXXX and %XX; any other "%" stays.
std::u16string Unescape(std::u16string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'%') {
      if (i + 5 < text.size() && text[i + 1] == u'u' && HexValue(text[i + 2]) >= 0 &&
          HexValue(text[i + 3]) >= 0 && HexValue(text[i + 4]) >= 0 && HexValue(text[i + 5]) >= 0) {
        out += static_cast<char16_t>((HexValue(text[i + 2]) << 12) | (HexValue(text[i + 3]) << 8) |
                                     (HexValue(text[i + 4]) << 4) | HexValue(text[i + 5]));
        i += 5;
        continue;
      }
      if (i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
        out += static_cast<char16_t>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace

SmsGateway DefaultSmsGateway() { return SmsGateway{KORVELIN_SMS_ENDPOINT, KORVELIN_SMS_KEY}; }

std::string UnescapeText(std::string_view text) {
  // Work on characters, not bytes: a double-byte character whose second byte happens to
  // be a backslash or a "u" must pass through whole.
  std::u16string chars = Utf8ToUtf16(AnsiToUtf8(text));
  chars = ReplaceAll(chars, u"\r\n", kLineBreakMark);
  if (!chars.empty() && chars.front() == u'\r') chars.erase(0, 1);
  chars = ReplaceAll(chars, u"\\u", u"%u");
  chars = ReplaceAll(chars, u"'", std::u16string(1, kRightQuote));

  const std::optional<std::u16string> literal = ReadQuotedLiteral(chars);
  if (!literal) return {};
  std::u16string decoded = Unescape(*literal);

  decoded = ReplaceAll(decoded, std::u16string(1, kRightQuote), u"'");
  decoded = ReplaceAll(decoded, kLineBreakMark, u"\r\n");
  // A text holds no zero byte: it ends where a decoded NUL would stand.
  if (const size_t nul = decoded.find(u'\0'); nul != std::u16string::npos) decoded.resize(nul);
  return Utf8ToAnsi(Utf16ToUtf8(decoded));
}

std::string SmsReplyLogText(std::string_view reply) {
  std::string decoded = UnescapeText(TextBetween(reply, kTextMemberStart, kTextMemberEnd));
  if (decoded.empty()) decoded = UnescapeText(reply);
  return decoded;
}

SmsNotifier::SmsNotifier(std::shared_ptr<ActivityLog> log, SmsGateway gateway)
    : log_(std::move(log)), gateway_(std::move(gateway)) {}

void SmsNotifier::Send(const std::string& phone) {
  const std::string number = RemoveSpaces(phone);
  const std::string form = "phone=" + FormEncode(number) + "&message=" + FormEncode(kNotice) +
                           "&key=" + FormEncode(gateway_.key);
  // Own (empty) cookie jar: each notice is a request of its own.
  std::string cookies;
  std::string headers;
  // The gateway's certificate is verified: an impostor gets neither the number nor the key.
  const std::string reply =
      BytesToText(FetchViaInternetApiResult(gateway_.endpoint, HttpMethod::Post, form, &cookies,
                                            &headers, nullptr,
                                            static_cast<long>(gateway_.deadline.count()))
                      .body);

  log_->Append(NowMillisText() + SmsReplyLogText(reply) + "\r\n");
}

}  // namespace korvelin
