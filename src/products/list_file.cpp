#include "products/list_file.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <utility>

#include "common/code_page.h"
#include "common/numbers.h"
#include "common/text.h"
#include "common/text_search.h"

namespace korvelin {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kNotFound = std::string_view::npos;

// Valid UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF) that holds at
// least one multi-byte sequence. A code page 936 text with Chinese in it almost never
// passes: its lead and second bytes do not pair up as UTF-8 sequences do.
bool IsUtf8WithMultibyte(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  bool multibyte = false;
  auto continuation = [](unsigned char byte) { return (byte & 0xC0) == 0x80; };
  while (p < end) {
    if (end - p >= 8) {
      std::uint64_t block;
      std::memcpy(&block, p, 8);
      if ((block & 0x8080808080808080ULL) == 0) {
        p += 8;
        continue;
      }
    }
    const unsigned char lead = *p;
    if (lead < 0x80) {
      ++p;
      continue;
    }
    multibyte = true;
    if (lead < 0xC2) return false;
    if (lead < 0xE0) {
      if (end - p < 2 || !continuation(p[1])) return false;
      p += 2;
    } else if (lead < 0xF0) {
      if (end - p < 3 || !continuation(p[1]) || !continuation(p[2])) return false;
      if ((lead == 0xE0 && p[1] < 0xA0) || (lead == 0xED && p[1] >= 0xA0)) return false;
      p += 3;
    } else if (lead < 0xF5) {
      if (end - p < 4 || !continuation(p[1]) || !continuation(p[2]) || !continuation(p[3])) {
        return false;
      }
      if ((lead == 0xF0 && p[1] < 0x90) || (lead == 0xF4 && p[1] >= 0x90)) return false;
      p += 4;
    } else {
      return false;
    }
  }
  return multibyte;
}

bool IsSpace(std::string_view text, std::size_t i) {
  return text[i] == ' ' || (i + 1 < text.size() && text[i] == '\xA1' && text[i + 1] == '\xA1');
}

// The text without the runs of spaces (0x20 and A1 A1, by characters) at both ends, as
// TrimSpaces cuts them, without copying: the end is found from the back, where a space
// counts only when it starts a character.
std::string_view TrimmedView(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsSpace(text, begin)) begin += text[begin] == ' ' ? 1 : 2;
  std::size_t end = text.size();
  while (end > begin) {
    std::size_t boundary = begin;
    if (text[end - 1] == ' ' && text_search::IsCharacterStart(text, boundary, end - 1)) {
      end -= 1;
      continue;
    }
    boundary = begin;
    if (end - begin >= 2 && text[end - 2] == '\xA1' && text[end - 1] == '\xA1' &&
        text_search::IsCharacterStart(text, boundary, end - 2)) {
      end -= 2;
      continue;
    }
    break;
  }
  return text.substr(begin, end - begin);
}

// The offset of the first field separator at or after `from` in the line that starts a
// character (`from` does); kNotFound when there is none.
std::size_t FindSeparator(std::string_view line, std::size_t from) {
  std::size_t boundary = from;
  while (line.size() - from >= kFieldSeparator.size()) {
    const void* hit = std::memchr(line.data() + from, '-', line.size() - from);
    if (!hit) return kNotFound;
    const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - line.data());
    if (line.size() - at < kFieldSeparator.size()) return kNotFound;
    if (std::memcmp(line.data() + at + 1, "---", 3) == 0 &&
        text_search::IsCharacterStart(line, boundary, at)) {
      return at;
    }
    from = at + 1;
  }
  return kNotFound;
}

// The lines of a text one after another: each ends at CR LF, a lone LF or a lone CR; a
// break at the very end makes no further line. CR and LF are never part of a double-byte
// character of code page 936 (second bytes are 0x40 and above), so they are found as bytes.
class LineReader {
 public:
  explicit LineReader(std::string_view text)
      : text_(text), nextLf_(Find('\n')), nextCr_(Find('\r')) {}
  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    if (nextLf_ < pos_) nextLf_ = Find('\n');
    if (nextCr_ < pos_) nextCr_ = Find('\r');
    const std::size_t end = std::min(nextLf_, nextCr_);
    line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    if (end < text_.size() && text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') {
      ++pos_;
    }
    return true;
  }

 private:
  std::size_t Find(char byte) const {
    const void* hit = std::memchr(text_.data() + pos_, byte, text_.size() - pos_);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data())
               : text_.size();
  }
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t nextLf_;  // the next LF at or after pos_, or the end of the text
  std::size_t nextCr_;  // the same for CR
};

// Leading spaces of a field, as the trimming of a file's start cuts them.
std::string_view WithoutLeadingSpaces(std::string_view field) {
  std::size_t begin = 0;
  while (begin < field.size() && IsSpace(field, begin)) begin += field[begin] == ' ' ? 1 : 2;
  return field.substr(begin);
}

std::optional<std::vector<ProductEntry>> ParseRows(std::string_view text, bool fileText) {
  if (text_search::Search(text, 0, kFieldSeparator, false) == kNotFound) return std::nullopt;
  std::vector<ProductEntry> rows;
  rows.reserve(text.size() / kShortestListLine + 1);
  const std::size_t separator = kFieldSeparator.size();
  LineReader lines(text);
  std::string_view line;
  while (lines.Next(line)) {
    if (line.size() < static_cast<std::size_t>(kShortestListLine)) continue;
    // Four fields: three separators, and the fourth field up to the next one or the end.
    const std::size_t first = FindSeparator(line, 0);
    if (first == kNotFound) continue;
    const std::size_t second = FindSeparator(line, first + separator);
    if (second == kNotFound) continue;
    const std::size_t third = FindSeparator(line, second + separator);
    if (third == kNotFound) continue;
    std::size_t fourth = FindSeparator(line, third + separator);
    if (fourth == kNotFound) fourth = line.size();
    std::string_view name = line.substr(0, first);
    // A saved file starts with the first row's name, and the start of a file's text loses
    // its spaces when it is read: the row keeps the name it will be read back with.
    if (fileText && rows.empty()) name = WithoutLeadingSpaces(name);
    const std::string_view code = line.substr(first + separator, second - first - separator);
    const std::string_view price = line.substr(second + separator, third - second - separator);
    const std::string_view country = line.substr(third + separator, fourth - third - separator);
    // An empty fourth field (nothing after the third separator, or a fifth field right
    // behind it) would be saved as a line of three fields.
    if (country.empty()) continue;
    // The line the row is saved as must be long enough to be read again.
    if (name.size() + code.size() + price.size() + country.size() + 3 * separator <
        static_cast<std::size_t>(kShortestListLine)) {
      continue;
    }
    ProductEntry& row = rows.emplace_back();
    char digits[24];
    const auto written = std::to_chars(digits, digits + sizeof digits, rows.size());
    row.number.assign(digits, written.ptr);
    row.name.assign(name);
    row.code.assign(code);
    row.targetPrice.assign(price);
    row.country.assign(country);
  }
  return rows;
}

// The list text of a file's bytes, as a view of `bytes` or of `converted` (which then holds
// the code page 936 form of a UTF-8 file).
std::string_view ListTextView(std::string_view bytes, std::string& converted) {
  const void* nul = std::memchr(bytes.data(), '\0', bytes.size());
  std::string_view text =
      nul ? bytes.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - bytes.data()))
          : bytes;
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    converted = Utf8ToAnsi(text.substr(kByteOrderMark.size()));
    text = converted;
  } else if (IsUtf8WithMultibyte(text)) {
    converted = Utf8ToAnsi(text);
    text = converted;
  }
  return TrimmedView(text);
}

}  // namespace

std::string EncodeProductList(const std::vector<ProductEntry>& rows) {
  std::size_t size = 0;
  for (const ProductEntry& row : rows) {
    size += row.name.size() + row.code.size() + row.targetPrice.size() + row.country.size() +
            3 * kFieldSeparator.size() + kLineSeparator.size();
  }
  std::string text;
  text.reserve(size);
  for (const ProductEntry& row : rows) {
    text += row.name;
    text += kFieldSeparator;
    text += row.code;
    text += kFieldSeparator;
    text += row.targetPrice;
    text += kFieldSeparator;
    text += row.country;
    text += kLineSeparator;
  }
  return text;
}

std::optional<std::vector<ProductEntry>> ParseProductList(std::string_view text) {
  return ParseRows(text, false);
}

std::string ListFileText(std::string_view bytes) {
  std::string converted;
  return std::string(ListTextView(bytes, converted));
}

std::optional<std::vector<ProductEntry>> ParseListFile(std::string_view bytes) {
  std::string converted;
  return ParseRows(ListTextView(bytes, converted), true);
}

std::string ListFileBytes(const std::vector<ProductEntry>& rows) {
  std::string text = EncodeProductList(rows);
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark || IsUtf8WithMultibyte(text)) {
    std::string utf8 = AnsiToUtf8(text);
    if (Utf8ToAnsi(utf8) == text) return std::string(kByteOrderMark) + utf8;
  }
  return text;
}

std::string DefaultProductListText() {
  struct Line {
    const char* name;  // UTF-8 in the source
    const char* code;
    const char* price;
  };
  static const Line kLines[] = {
      {"爱他美Pre", "B00D8V08UK", "60"},     {"爱他美1", "B00D8V0972", "60"},
      {"爱他美2", "B00D8V092W", "38"},       {"爱他美3", "B00D8V09FE", "60"},
      {"爱他美1+", "B00BSNACII", "60"},      {"爱他美2+", "B00BSNAC9C", "42"},
      {"喜宝益生菌Pre", "B004X0XATQ", "42"}, {"喜宝益生菌1", "B004X0XB3G", "37"},
      {"喜宝益生菌2", "B004X0XBD6", "60"},   {"喜宝益生菌3", "B004X0X9TC", "60"},
      {"喜宝益生菌1+", "B004X0XAFK", "60"},  {"喜宝益生菌2+", "B004X0XALE", "60"},
      {"喜宝有机Pre", "B004X0XA6E", "60"},   {"喜宝有机1", "B003R7KV34", "60"},
      {"喜宝有机2", "B0084CRNBA", "60"},     {"喜宝有机3", "B008V8YZMM", "60"},
      {"喜宝有机12", "B007X2CL6E", "60"},
  };
  static const std::string kText = [] {
    const std::string country = Ansi("德国");
    std::string text;
    for (const Line& line : kLines) {
      if (!text.empty()) text += kLineSeparator;
      text += Ansi(line.name);
      text += kFieldSeparator;
      text += line.code;
      text += kFieldSeparator;
      text += line.price;
      text += kFieldSeparator;
      text += country;
    }
    return text;
  }();
  return kText;
}

}  // namespace korvelin
