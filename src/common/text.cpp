#include "common/text.h"

#include <cstring>

#include "common/text_search.h"

namespace korvelin {
namespace {

inline unsigned char Byte(std::string_view text, std::size_t i) {
  return static_cast<unsigned char>(text[i]);
}

// In code page 936 the bytes 0x81..0xFE lead a double-byte character; 0x80 (the euro sign)
// and 0xFF are characters of one byte, like every byte below 0x80.
inline bool IsLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// Length of the character at i: two bytes for a lead byte, else one. A lead byte at the very
// end counts as one.
inline std::size_t CharLength(std::string_view text, std::size_t i) {
  return IsLeadByte(Byte(text, i)) && i + 1 < text.size() ? 2 : 1;
}

inline bool IsSpaceAt(std::string_view text, std::size_t i, std::size_t& length) {
  if (text[i] == ' ') {
    length = 1;
    return true;
  }
  if (Byte(text, i) == 0xA1 && i + 1 < text.size() && Byte(text, i + 1) == 0xA1) {
    length = 2;
    return true;
  }
  return false;
}

inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

}  // namespace

namespace text_search {

bool IsCharacterStart(std::string_view text, std::size_t& boundary, std::size_t position) {
  // Everything after a byte that cannot lead a pair starts a character: that byte is either
  // a one-byte character or the second byte of a pair. So only the run of lead-range bytes
  // in front of `position` (back to such a byte, or to the known boundary) decides: it
  // pairs up.
  std::size_t from = position;
  while (from > boundary && IsLeadByte(Byte(text, from - 1))) --from;
  bool start = ((position - from) & 1) == 0;
  boundary = start ? position : position + 1;
  return start;
}

std::size_t Search(std::string_view text, std::size_t from, std::string_view target,
                   bool ignoreCase) {
  const std::size_t n = target.size();
  if (n == 0) return from < text.size() ? from : std::string_view::npos;
  if (!ignoreCase) {
    std::size_t boundary = from;
    std::size_t pos = from;
    while (pos < text.size() && text.size() - pos >= n) {
      const void* hit = memmem(text.data() + pos, text.size() - pos, target.data(), n);
      if (!hit) return std::string_view::npos;
      std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
      if (IsCharacterStart(text, boundary, at)) return at;
      pos = at + 1;  // `at` is the second byte of a pair: the next byte starts a character
    }
    return std::string_view::npos;
  }
  const char first = LowerAscii(target[0]);
  std::size_t pos = from;
  while (pos < text.size() && text.size() - pos >= n) {
    if (LowerAscii(text[pos]) == first) {
      std::size_t k = 1;
      while (k < n && LowerAscii(text[pos + k]) == LowerAscii(target[k])) ++k;
      if (k == n) return pos;
    }
    if (IsLeadByte(Byte(text, pos))) {
      if (pos + 1 >= text.size()) break;  // a lead byte without its second byte ends the scan
      pos += 2;
    } else {
      pos += 1;
    }
  }
  return std::string_view::npos;
}

}  // namespace text_search

std::string FoldHalfWidth(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char c = Byte(text, i);
    if (!IsLeadByte(c)) {
      result.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    if (i + 1 >= text.size()) break;  // a lead byte without its second byte is dropped
    unsigned char d = Byte(text, i + 1);
    if (c == 0xA3 && d >= 0xA1 && d <= 0xFE) {
      result.push_back(static_cast<char>(d - 0x80));
    } else if (c == 0xA1 && d == 0xA1) {
      result.push_back(' ');
    } else if (c == 0xA1 && d == 0xAB) {
      result.push_back('~');
    } else if (c == 0xA1 && (d == 0xEE || d == 0xEF)) {
      result.push_back('*');
    } else {
      result.push_back(static_cast<char>(c));
      result.push_back(static_cast<char>(d));
    }
    i += 2;
  }
  return result;
}

std::string BytesToText(std::string_view bytes) {
  std::size_t zero = bytes.find('\0');
  return std::string(zero == std::string_view::npos ? bytes : bytes.substr(0, zero));
}

std::string TextToBytes(std::string_view text) { return std::string(text); }

int FindText(std::string_view text, std::string_view target, std::optional<int> start,
             bool ignoreCase) {
  std::size_t from = 0;
  if (start && *start >= 2) {
    if (static_cast<std::size_t>(*start) > text.size()) return -1;
    from = static_cast<std::size_t>(*start) - 1;
  }
  if (target.empty()) return from < text.size() ? 1 : -1;
  std::size_t at = text_search::Search(text, from, target, ignoreCase);
  return at == std::string_view::npos ? -1 : static_cast<int>(at) + 1;
}

int FindTextBackward(std::string_view text, std::string_view target, std::optional<int> start,
                     bool ignoreCase) {
  std::string_view region = text;
  if (start) {
    if (*start <= 1) return -1;
    if (static_cast<std::size_t>(*start) - 1 < text.size())
      region = text.substr(0, static_cast<std::size_t>(*start) - 1);
  }
  if (target.empty()) return region.empty() ? -1 : 1;
  std::size_t last = std::string_view::npos;
  std::size_t from = 0;
  while (true) {
    std::size_t at = text_search::Search(region, from, target, ignoreCase);
    if (at == std::string_view::npos) break;
    last = at;
    from = at + CharLength(region, at);
  }
  return last == std::string_view::npos ? -1 : static_cast<int>(last) + 1;
}

std::string LeftText(std::string_view text, int count) {
  if (count <= 0) return {};
  return std::string(text.substr(0, static_cast<std::size_t>(count)));
}

std::string RightText(std::string_view text, int count) {
  if (count <= 0) return {};
  std::size_t n = static_cast<std::size_t>(count);
  if (n >= text.size()) return std::string(text);
  return std::string(text.substr(text.size() - n));
}

std::string MidText(std::string_view text, int start, int count) {
  if (start < 1 || static_cast<std::size_t>(start) > text.size() || count <= 0) return {};
  return std::string(
      text.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(count)));
}

std::string ReplaceText(std::string_view text, std::string_view target,
                        std::string_view replacement, std::optional<int> start,
                        std::optional<int> count, bool caseSensitive) {
  if (text.empty() || target.empty()) return std::string(text);
  std::size_t from = 0;
  if (start && *start > 1) {
    if (static_cast<std::size_t>(*start) - 1 >= text.size()) return std::string(text);
    from = static_cast<std::size_t>(*start) - 1;
  }
  if (count && *count == 0) return std::string(text);
  // A negative count, like no count, replaces every occurrence.
  long long left = count && *count > 0 ? *count : -1;
  std::string result;
  result.reserve(text.size());
  result.append(text.substr(0, from));
  std::size_t pos = from;
  while (left != 0) {
    std::size_t at = text_search::Search(text, pos, target, !caseSensitive);
    if (at == std::string_view::npos) break;
    result.append(text.substr(pos, at - pos));
    result.append(replacement);
    pos = at + target.size();
    if (left > 0) --left;
  }
  result.append(text.substr(pos));
  return result;
}

std::vector<std::string> SplitText(std::string_view text, std::string_view separator,
                                   std::optional<int> maxItems) {
  std::vector<std::string> items;
  if (text.empty() || (maxItems && *maxItems == 0)) return items;
  if (separator.empty()) {
    items.emplace_back(text);
    return items;
  }
  // A negative maximum, like none, puts no limit on the number of items.
  const std::size_t limit = maxItems && *maxItems > 0 ? static_cast<std::size_t>(*maxItems)
                                                      : static_cast<std::size_t>(-1);
  std::size_t itemStart = 0;
  while (true) {
    std::size_t at = text_search::Search(text, itemStart, separator, false);
    if (at == std::string_view::npos) break;
    items.emplace_back(text.substr(itemStart, at - itemStart));
    itemStart = at + separator.size();
    if (items.size() >= limit) return items;
  }
  if (itemStart < text.size()) items.emplace_back(text.substr(itemStart));
  return items;
}

std::string TrimSpaces(std::string_view text) {
  std::size_t i = 0;
  std::size_t length = 0;
  while (i < text.size() && IsSpaceAt(text, i, length)) i += length;
  const std::size_t begin = i;
  std::size_t end = begin;  // end of the last character that is not a space
  while (i < text.size()) {
    if (IsSpaceAt(text, i, length)) {
      i += length;
    } else {
      i += CharLength(text, i);
      end = i;
    }
  }
  return std::string(text.substr(begin, end - begin));
}

std::string RemoveSpaces(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::size_t i = 0;
  std::size_t length = 0;
  while (i < text.size()) {
    if (IsSpaceAt(text, i, length)) {
      i += length;
    } else {
      length = CharLength(text, i);
      result.append(text.substr(i, length));
      i += length;
    }
  }
  return result;
}

std::string LowerCaseText(std::string_view text) {
  std::string result(text);
  std::size_t i = 0;
  while (i < result.size()) {
    if (IsLeadByte(static_cast<unsigned char>(result[i]))) {
      i += 2;  // the second byte of a pair is never changed
    } else {
      result[i] = LowerAscii(result[i]);
      ++i;
    }
  }
  return result;
}

std::string RepeatText(int count, std::string_view text) {
  std::string result;
  if (count <= 0 || text.empty()) return result;
  result.reserve(text.size() * static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) result.append(text);
  return result;
}

}  // namespace korvelin
