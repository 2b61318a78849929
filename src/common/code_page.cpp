#include "common/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvelin {
namespace {

// Lead bytes 0x81..0xFE, trail bytes 0x40..0xFE without 0x7F.
constexpr int kLeadFirst = 0x81;
constexpr int kLeadCount = 0xFE - 0x81 + 1;
constexpr int kTrailCount = 0xFE - 0x40 + 1;

bool IsTrail(unsigned char byte) { return byte >= 0x40 && byte <= 0xFE && byte != 0x7F; }

struct IconvCloser {
  void operator()(void* handle) const {
    if (handle) iconv_close(static_cast<iconv_t>(handle));
  }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenIconv(const char* to, const char* from) {
  iconv_t handle = iconv_open(to, from);
  if (handle == reinterpret_cast<iconv_t>(-1)) {
    std::fprintf(stderr, "korvelin: iconv %s -> %s is not available\n", from, to);
    return IconvHandle(nullptr);
  }
  return IconvHandle(handle);
}

// Converts one unit with a fresh conversion state; returns the number of output bytes, or
// 0 when the input does not convert.
std::size_t ConvertOne(void* handle, const char* in, std::size_t inSize, char* out,
                       std::size_t outSize) {
  iconv_t cd = static_cast<iconv_t>(handle);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* inPtr = const_cast<char*>(in);
  char* outPtr = out;
  std::size_t inLeft = inSize;
  std::size_t outLeft = outSize;
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0)
    return 0;
  // Flush any pending shift state (none for these encodings, but be thorough).
  if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return 0;
  return outSize - outLeft;
}

// Two three-byte sequences in the low six bytes of a little-endian word: lead bytes
// 1110xxxx and continuation bytes 10xxxxxx; and the mask of one sequence's payload bits.
constexpr std::uint64_t kTwoThreeByteMask = 0xC0C0F0C0C0F0ULL;
constexpr std::uint64_t kTwoThreeBytePattern = 0x8080E08080E0ULL;
constexpr std::uint64_t kThreeBytePayload = 0x3F3F0F;

// A 16-bit index for the payload bits of one three-byte sequence (4, 6 and 6 bits in the
// low three bytes of `payload`): one multiplication gathers them, in an order of its own,
// into bits 6 to 21. Every payload gives a different index.
inline unsigned ThreeByteIndex(std::uint64_t payload) {
  return static_cast<unsigned>(payload * 0x4011 >> 6) & 0xFFFF;
}

// The two code page 936 tables, built once from the C library's "CP936" converter.
// encode[u]: the code page 936 bytes of UTF-16 unit u in memory order, ready to be stored
// as they are: a one-byte form has a zero second byte (the second byte of a pair never is
// zero), and a unit without a form holds "?".
// decode[pair]: the UTF-16 unit of a lead/trail pair, 0 when the pair does not decode.
struct Cp936Tables {
  std::vector<std::uint16_t> encode = std::vector<std::uint16_t>(0x10000, 0);
  std::vector<std::uint16_t> decode =
      std::vector<std::uint16_t>(static_cast<std::size_t>(kLeadCount) * kTrailCount, 0);
  std::uint16_t singleHigh[0x80] = {};  // one-byte forms of 0x80..0xFF (only 0x80: the euro)
  // threeByte[ThreeByteIndex(payload)]: the stored form of the character of a three-byte
  // sequence when it has a two-byte form, else 0 (an overlong form, a surrogate, a
  // character with a one-byte form or none); the converter's fast path takes only these.
  std::vector<std::uint16_t> threeByte = std::vector<std::uint16_t>(0x10000, 0);

  Cp936Tables() {
    for (int c = 0; c < 0x80; ++c) encode[c] = static_cast<std::uint16_t>(c);
    IconvHandle toGbk = OpenIconv("CP936", "UCS-2LE");
    IconvHandle fromGbk = OpenIconv("UCS-2LE", "CP936");
    if (toGbk) {
      for (unsigned u = 0x80; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF) continue;
        const char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        unsigned char out[8];
        std::size_t n = ConvertOne(toGbk.get(), in, 2, reinterpret_cast<char*>(out), sizeof out);
        if (n == 1 && out[0] >= 0x80) {
          encode[u] = out[0];
        } else if (n == 2 && out[0] >= kLeadFirst && out[0] <= 0xFE && IsTrail(out[1])) {
          encode[u] = static_cast<std::uint16_t>(out[0] << 8 | out[1]);
        }
      }
    }
    if (fromGbk) {
      for (int lead = kLeadFirst; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
          if (trail == 0x7F) continue;
          const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
          unsigned char out[8];
          if (ConvertOne(fromGbk.get(), in, 2, reinterpret_cast<char*>(out), sizeof out) == 2)
            decode[PairIndex(lead, trail)] = static_cast<std::uint16_t>(out[0] | out[1] << 8);
        }
      }
    }
    // Code page 936 as Windows defines it: 0x80 is the euro sign, while the pound and yen
    // signs have no form (a page's "£" or "¥" becomes "?").
    encode[0x20AC] = 0x80;
    singleHigh[0] = 0x20AC;
    encode[0x00A3] = 0;
    encode[0x00A5] = 0;
    // From (lead << 8 | trail, or the one byte, or 0) to the stored form described above.
    for (std::uint16_t& form : encode) {
      unsigned char bytes[2];
      if (form == 0) {
        bytes[0] = '?';
        bytes[1] = 0;
      } else if (form < 0x100) {
        bytes[0] = static_cast<unsigned char>(form);
        bytes[1] = 0;
      } else {
        bytes[0] = static_cast<unsigned char>(form >> 8);
        bytes[1] = static_cast<unsigned char>(form & 0xFF);
      }
      std::memcpy(&form, bytes, 2);
    }
    for (unsigned code = 0x800; code < 0x10000; ++code) {
      if (code >= 0xD800 && code <= 0xDFFF) continue;
      const std::uint16_t form = encode[code];
      if (form < 0x100) continue;  // one byte: its second byte is zero
      const std::uint64_t payload = (code >> 12) | (code >> 6 & 0x3F) << 8 | (code & 0x3F) << 16;
      threeByte[ThreeByteIndex(payload)] = form;
    }
  }

  static std::size_t PairIndex(int lead, int trail) {
    return static_cast<std::size_t>(lead - kLeadFirst) * kTrailCount +
           static_cast<std::size_t>(trail - 0x40);
  }
};

const Cp936Tables& Tables() {
  static const Cp936Tables tables;
  return tables;
}

// Copies the run of ASCII bytes at `in` to `out`; returns its length. The caller guarantees
// that `out` has as much room after it as `in` has bytes before `end`.
inline std::size_t CopyAsciiRun(const unsigned char* in, const unsigned char* end,
                                unsigned char* out) {
  const unsigned char* p = in;
#if defined(__SSE2__)
  while (end - p >= 64) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) break;
    unsigned char* o = out + (p - in);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 32), c);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 48), d);
    p += 64;
  }
  while (end - p >= 16) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (p - in)), a);
    int mask = _mm_movemask_epi8(a);
    if (mask != 0) return static_cast<std::size_t>(p - in) + __builtin_ctz(mask);
    p += 16;
  }
#else
  while (end - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    std::memcpy(out + (p - in), &word, 8);
    if (word & 0x8080808080808080ULL) break;
    p += 8;
  }
#endif
  while (p < end && *p < 0x80) {
    out[p - in] = *p;
    ++p;
  }
  return static_cast<std::size_t>(p - in);
}

// Decodes one UTF-8 sequence starting with a byte of 0x80 or more. Returns the code point
// and sets `length`; an invalid sequence gives -1 with length 1 (its first byte alone is
// bad; the bytes after it are looked at again on their own). Overlong forms, surrogates
// and values above U+10FFFF are invalid.
inline int DecodeUtf8(const unsigned char* p, const unsigned char* end, int& length) {
  length = 1;
  unsigned char b0 = p[0];
  std::ptrdiff_t left = end - p;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    if (left < 2 || (p[1] & 0xC0) != 0x80) return -1;
    length = 2;
    return (b0 & 0x1F) << 6 | (p[1] & 0x3F);
  }
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    if (left < 3) return -1;
    unsigned char b1 = p[1];
    unsigned char low = b0 == 0xE0 ? 0xA0 : 0x80;
    unsigned char high = b0 == 0xED ? 0x9F : 0xBF;
    if (b1 < low || b1 > high || (p[2] & 0xC0) != 0x80) return -1;
    length = 3;
    return (b0 & 0x0F) << 12 | (b1 & 0x3F) << 6 | (p[2] & 0x3F);
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    if (left < 4) return -1;
    unsigned char b1 = p[1];
    unsigned char low = b0 == 0xF0 ? 0x90 : 0x80;
    unsigned char high = b0 == 0xF4 ? 0x8F : 0xBF;
    if (b1 < low || b1 > high || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80) return -1;
    length = 4;
    return (b0 & 0x07) << 18 | (b1 & 0x3F) << 12 | (p[2] & 0x3F) << 6 | (p[3] & 0x3F);
  }
  return -1;
}

}  // namespace

namespace {

// Converts `size` bytes of UTF-8 at `in` into `outBase`, which has room for size + 1 bytes;
// returns the number of bytes written. The result is never longer than the input: every
// UTF-8 sequence of two or more bytes becomes at most two bytes, and every bad byte one
// "?". The two bytes of a form are always stored; the output pointer then moves on by one
// or two.
std::size_t ConvertUtf8ToAnsi(const unsigned char* in, std::size_t size, unsigned char* outBase) {
  const std::uint16_t* encode = Tables().encode.data();
  const std::uint16_t* threeByte = Tables().threeByte.data();
  const unsigned char* end = in + size;
  unsigned char* out = outBase;
  auto put = [&out](std::uint16_t form) {
    std::memcpy(out, &form, 2);
    out += 1 + (reinterpret_cast<const unsigned char*>(&form)[1] != 0);
  };
  while (in < end) {
    if (*in < 0x80) {
      std::size_t run = CopyAsciiRun(in, end, out);
      in += run;
      out += run;
      continue;
    }
    // Runs of three-byte sequences (all Chinese text) stay in this loop, four characters a
    // step while fourteen bytes can be read at once. A step takes only characters with
    // two-byte forms, so its eight output bytes are stored at once; anything else is left
    // to the loops below.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    while (end - in >= 14) {
      std::uint64_t v, w;
      std::memcpy(&v, in, 8);
      std::memcpy(&w, in + 6, 8);
      if (((v & kTwoThreeByteMask) ^ kTwoThreeBytePattern) |
          ((w & kTwoThreeByteMask) ^ kTwoThreeBytePattern))
        break;
      const std::uint64_t f0 = threeByte[ThreeByteIndex(v & kThreeBytePayload)];
      const std::uint64_t f1 = threeByte[ThreeByteIndex(v >> 24 & kThreeBytePayload)];
      const std::uint64_t f2 = threeByte[ThreeByteIndex(w & kThreeBytePayload)];
      const std::uint64_t f3 = threeByte[ThreeByteIndex(w >> 24 & kThreeBytePayload)];
      if ((f0 == 0) | (f1 == 0) | (f2 == 0) | (f3 == 0)) break;
      const std::uint64_t forms = f0 | f1 << 16 | f2 << 32 | f3 << 48;
      std::memcpy(out, &forms, 8);
      out += 8;
      in += 12;
    }
#endif
    while (end - in >= 3) {
      const unsigned b0 = in[0], b1 = in[1], b2 = in[2];
      if ((b0 & 0xF0) != 0xE0 || (((b1 & 0xC0) ^ 0x80) | ((b2 & 0xC0) ^ 0x80)) != 0) break;
      const unsigned code = (b0 & 0x0Fu) << 12 | (b1 & 0x3Fu) << 6 | (b2 & 0x3Fu);
      if (code < 0x800 || code - 0xD800 < 0x800) break;  // overlong form or surrogate
      put(encode[code]);
      in += 3;
    }
    if (in >= end || *in < 0x80) continue;
    int length;
    const int code = DecodeUtf8(in, end, length);
    in += length;
    put(code >= 0 && code < 0x10000 ? encode[code] : encode[static_cast<unsigned char>('?')]);
  }
  return static_cast<std::size_t>(out - outBase);
}

}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) {
  const auto* in = reinterpret_cast<const unsigned char*>(utf8.data());
  std::string result;
#if defined(__cpp_lib_string_resize_and_overwrite)
  // Written once, without clearing the buffer first.
  result.resize_and_overwrite(utf8.size() + 1, [&](char* out, std::size_t) {
    return ConvertUtf8ToAnsi(in, utf8.size(), reinterpret_cast<unsigned char*>(out));
  });
#else
  result.resize(utf8.size() + 1);
  result.resize(
      ConvertUtf8ToAnsi(in, utf8.size(), reinterpret_cast<unsigned char*>(result.data())));
#endif
  return result;
}

std::string AnsiToUtf8(std::string_view ansi) {
  const Cp936Tables& tables = Tables();
  // Each input byte gives at most three output bytes (a lone 0x80 is the euro sign, a bad
  // byte U+FFFD); a pair gives at most three.
  std::string result;
  result.resize(ansi.size() * 3);
  const auto* p = reinterpret_cast<const unsigned char*>(ansi.data());
  const unsigned char* end = p + ansi.size();
  auto* outBase = reinterpret_cast<unsigned char*>(result.data());
  unsigned char* out = outBase;
  auto put = [&out](unsigned code) {
    if (code < 0x800) {
      out[0] = static_cast<unsigned char>(0xC0 | code >> 6);
      out[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
      out += 2;
    } else {
      out[0] = static_cast<unsigned char>(0xE0 | code >> 12);
      out[1] = static_cast<unsigned char>(0x80 | (code >> 6 & 0x3F));
      out[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
      out += 3;
    }
  };
  while (p < end) {
    const unsigned char lead = *p;
    if (lead < 0x80) {
      const std::size_t run = CopyAsciiRun(p, end, out);
      p += run;
      out += run;
      continue;
    }
    if (lead == 0x80 || lead == 0xFF) {
      const std::uint16_t code = tables.singleHigh[lead - 0x80];
      put(code ? code : 0xFFFD);
      ++p;
    } else if (end - p >= 2 && IsTrail(p[1])) {
      const std::uint16_t code = tables.decode[Cp936Tables::PairIndex(lead, p[1])];
      put(code ? code : 0xFFFD);
      p += 2;
    } else {
      // A lead byte at the end, or followed by a byte that cannot be a second byte: the
      // lead alone is bad and the next byte is read on its own.
      put(0xFFFD);
      ++p;
    }
  }
  result.resize(static_cast<std::size_t>(out - outBase));
  return result;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const unsigned char* end = p + utf8.size();
  while (p < end) {
    if (*p < 0x80) {
      out += static_cast<char16_t>(*p++);
      continue;
    }
    int length;
    const int code = DecodeUtf8(p, end, length);
    p += length;
    if (code < 0) {
      out += u'\uFFFD';
    } else if (code >= 0x10000) {
      const unsigned above = static_cast<unsigned>(code) - 0x10000;
      out += static_cast<char16_t>(0xD800 + (above >> 10));
      out += static_cast<char16_t>(0xDC00 + (above & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  auto put = [&out](char32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      put(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      out += '?';
    } else {
      put(u);
    }
  }
  return out;
}

std::string Ansi(std::string_view utf8) { return Utf8ToAnsi(utf8); }

}  // namespace korvelin
