#include "products/list_file.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Finds the bytes "-", CR and LF of a text in order. Sixty-four bytes are compared at a
// time where the processor has SSE2 and their marks kept as bits, so the several marks of a
// line are found without comparing its bytes again.
class MarkFinder {
 public:
  explicit MarkFinder(const char* end) : end_(end) {
#if defined(__SSE2__)
    window_ = end;
#endif
  }
  // The first mark at or after `p`; `end` when there is none. `p` never moves backwards.
  const char* Next(const char* p) {
    if (p >= end_) return end_;
#if defined(__SSE2__)
    while (true) {
      if (p >= window_ && p < window_ + kWindow) {
        const std::uint64_t marks = marks_ & (~std::uint64_t{0} << (p - window_));
        if (marks != 0) return window_ + __builtin_ctzll(marks);
        p = window_ + kWindow;
      }
      if (end_ - p < kWindow) break;
      window_ = p;
      marks_ = Marks(p);
    }
#endif
    while (p < end_ && *p != '-' && *p != '\r' && *p != '\n') ++p;
    return p;
  }

 private:
#if defined(__SSE2__)
  static constexpr std::ptrdiff_t kWindow = 64;
  static std::uint64_t Marks(const char* p) {
    const __m128i dash = _mm_set1_epi8('-');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    std::uint64_t marks = 0;
    for (int i = 0; i < 4; ++i) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
      const __m128i hits =
          _mm_or_si128(_mm_cmpeq_epi8(block, dash),
                       _mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf)));
      marks |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hits)))
               << (16 * i);
    }
    return marks;
  }
  const char* window_;  // the 64 bytes whose marks are known; none (the end) at first
  std::uint64_t marks_ = 0;
#endif
  const char* end_;
};

// One line of a list text and the offsets of its first four field separators.
struct ListLine {
  std::string_view text;
  std::size_t separators[4];
  int count = 0;  // separators found, at most 4
};

// Reads a text line by line. Lines end at CR LF, a lone LF or a lone CR; a break at the very
// end makes no further line. CR and LF are never part of a double-byte character of code
// page 936 (second bytes are 0x40 and above), so they are found as bytes; a separator
// "----" counts only where it starts a character (the split rule). One pass finds both.
class ListLineReader {
 public:
  explicit ListLineReader(std::string_view text)
      : p_(text.data()), end_(text.data() + text.size()), marks_(end_) {}
  bool Next(ListLine& line) {
    if (p_ >= end_) return false;
    const char* start = p_;
    line.count = 0;
    std::size_t boundary = 0;  // a character start in the line, at or before the next mark
    const std::string_view rest(start, static_cast<std::size_t>(end_ - start));
    const char* p = start;
    while (true) {
      const char* mark = marks_.Next(p);
      if (mark == end_ || *mark != '-') {
        line.text = std::string_view(start, static_cast<std::size_t>(mark - start));
        p_ = mark == end_ ? end_ : mark + 1;
        if (mark != end_ && *mark == '\r' && p_ < end_ && *p_ == '\n') ++p_;
        return true;
      }
      const auto at = static_cast<std::size_t>(mark - start);
      // After a byte below 0x80 a character always starts (it is a character or the second
      // byte of one); only after a high byte must the run of high bytes be counted.
      if (line.count < 4 && end_ - mark >= 4 && mark[1] == '-' && mark[2] == '-' &&
          mark[3] == '-' &&
          (at == boundary || static_cast<unsigned char>(mark[-1]) < 0x80 ||
           text_search::IsCharacterStart(rest, boundary, at))) {
        line.separators[line.count++] = at;
        boundary = at + kFieldSeparator.size();
        p = mark + kFieldSeparator.size();
      } else {
        p = mark + 1;
      }
    }
  }

 private:
  const char* p_;
  const char* end_;
  MarkFinder marks_;
};

// Leading spaces of a field, as the trimming of a file's start cuts them.
std::string_view WithoutLeadingSpaces(std::string_view field) {
  std::size_t begin = 0;
  while (begin < field.size() && IsSpace(field, begin)) begin += field[begin] == ' ' ? 1 : 2;
  return field.substr(begin);
}

// A field of a row being built: it becomes the row's string where that string is made, so the
// bytes are copied once.
struct InPlace {
  std::string_view text;
  operator std::string() const { return std::string(text); }  // NOLINT: converts implicitly
};

std::optional<std::vector<ProductEntry>> ParseRows(std::string_view text, bool fileText) {
  if (text_search::Search(text, 0, kFieldSeparator, false) == kNotFound) return std::nullopt;
  std::vector<ProductEntry> rows;
  rows.reserve(text.size() / kShortestListLine + 1);
  const std::size_t separator = kFieldSeparator.size();
  ListLineReader lines(text);
  ListLine read;
  while (lines.Next(read)) {
    const std::string_view line = read.text;
    // Four fields: three separators, and the fourth field up to the next one or the end.
    if (line.size() < static_cast<std::size_t>(kShortestListLine) || read.count < 3) continue;
    const std::size_t first = read.separators[0];
    const std::size_t second = read.separators[1];
    const std::size_t third = read.separators[2];
    const std::size_t fourth = read.count == 4 ? read.separators[3] : line.size();
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
    char digits[24];
    const auto written = std::to_chars(digits, digits + sizeof digits, rows.size() + 1);
    // Built in place: `emplace_back()` with no arguments would zero the whole row before
    // constructing it, and temporary strings would be copied again when moved in. A compiler
    // without parenthesised aggregate initialisation (clang before 16) moves a built row in.
#if defined(__cpp_aggregate_paren_init)
    rows.emplace_back(InPlace{{digits, written.ptr}}, InPlace{name}, InPlace{code}, InPlace{},
                      InPlace{price}, InPlace{country}, InPlace{}, false);
#else
    rows.push_back(ProductEntry{std::string(digits, written.ptr),
                                std::string(name),
                                std::string(code),
                                {},
                                std::string(price),
                                std::string(country),
                                {},
                                false});
#endif
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

// Whether a code page 936 text comes back unchanged through UTF-8, so that it can be
// written as UTF-8 behind a byte-order mark.
bool RoundTripsThroughUtf8(std::string_view text) { return Utf8ToAnsi(AnsiToUtf8(text)) == text; }

// Whether a file of these bytes is read as UTF-8 (ListTextView).
bool ReadsAsUtf8(std::string_view text) {
  return text.substr(0, kByteOrderMark.size()) == kByteOrderMark || IsUtf8WithMultibyte(text);
}

// The field with each character that does not come back through UTF-8 (a lead byte with a
// second byte that makes no character, an unassigned pair, a lone lead byte) replaced by one
// "?" per byte: the length and every character boundary stay, so no separator appears or
// disappears and no line gets shorter.
std::string WritableBack(std::string_view field) {
  std::string out(field);
  for (std::size_t i = 0; i < out.size();) {
    const auto byte = static_cast<unsigned char>(out[i]);
    const std::size_t width = byte >= 0x81 && byte <= 0xFE && i + 1 < out.size() ? 2 : 1;
    if (byte >= 0x80 && !RoundTripsThroughUtf8(std::string_view(out).substr(i, width))) {
      out.replace(i, width, width, '?');
    }
    i += width;
  }
  return out;
}

// Rows read from a code page 936 file keep its bytes. A field may hold bytes that name no
// code page 936 character, and when the rows' text as a whole then reads as UTF-8, no saved
// form could load back to the same rows: written as they are, the next start reads the file
// as UTF-8; written as UTF-8, those bytes have no form. Such fields take their writable form.
void MakeWritableBack(std::vector<ProductEntry>& rows) {
  const std::string text = EncodeProductList(rows);
  if (!ReadsAsUtf8(text) || RoundTripsThroughUtf8(text)) return;
  for (ProductEntry& row : rows) {
    for (std::string* field : {&row.name, &row.code, &row.targetPrice, &row.country}) {
      if (!RoundTripsThroughUtf8(*field)) *field = WritableBack(*field);
    }
  }
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
  std::optional<std::vector<ProductEntry>> rows = ParseRows(ListTextView(bytes, converted), true);
  // A UTF-8 file's rows came through Unicode already; a code page 936 file's may not have.
  if (rows && converted.empty()) MakeWritableBack(*rows);
  return rows;
}

std::string ListFileBytes(const std::vector<ProductEntry>& rows) {
  std::string text = EncodeProductList(rows);
  if (ReadsAsUtf8(text)) {
    if (RoundTripsThroughUtf8(text)) return std::string(kByteOrderMark) + AnsiToUtf8(text);
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
