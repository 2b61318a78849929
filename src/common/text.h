// Byte texts in code page 936 and the operations every part of the program builds its
// outputs with. Positions are 1-based byte positions; a search that finds nothing gives -1.
// A byte of 0x81 to 0xFE starts a double-byte character together with the byte after it;
// 0x80 (the euro sign) and 0xFF are characters of one byte.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvelin {

// Full-width ASCII forms (A3 A1..A3 FE) to their one-byte forms, A1 A1 to a space,
// A1 AB to "~", A1 EE and A1 EF to "*". A lone lead byte at the very end is dropped.
std::string FoldHalfWidth(std::string_view text);

// The bytes up to, not including, the first zero byte.
std::string BytesToText(std::string_view bytes);
std::string TextToBytes(std::string_view text);

// The find rule. start: 1-based; values below 2 (or nullopt) search the whole text, and
// the scan steps by characters from there (a start inside a character pairs the bytes from
// that point). An empty target gives 1 when the searched region is not empty. ignoreCase
// makes A..Z equal to a..z; every other byte compares exactly.
int FindText(std::string_view text, std::string_view target,
             std::optional<int> start = std::nullopt, bool ignoreCase = false);
// The last match lying wholly before `start` (whole text when nullopt).
int FindTextBackward(std::string_view text, std::string_view target,
                     std::optional<int> start = std::nullopt, bool ignoreCase = false);

// These three count bytes and may cut a double-byte character in two.
std::string LeftText(std::string_view text, int count);
std::string RightText(std::string_view text, int count);
std::string MidText(std::string_view text, int start, int count);

// The replace rule: left to right, no overlaps, the inserted text is never scanned again.
// start: bytes before it are copied unchanged. count: nullopt or a negative value replace
// every occurrence, 0 replaces none. caseSensitive false makes A..Z equal to a..z.
std::string ReplaceText(std::string_view text, std::string_view target,
                        std::string_view replacement = {}, std::optional<int> start = std::nullopt,
                        std::optional<int> count = std::nullopt, bool caseSensitive = true);

// The split rule: an empty item between two separators; nothing after a final separator.
// maxItems: stop after that many items (the rest is dropped); nullopt or a negative value
// put no limit, 0 gives no items.
std::vector<std::string> SplitText(std::string_view text, std::string_view separator = ",",
                                   std::optional<int> maxItems = std::nullopt);

// Spaces are the byte 0x20 and the full-width space A1 A1 only.
std::string TrimSpaces(std::string_view text);
std::string RemoveSpaces(std::string_view text);
// A..Z to a..z; the second byte of a double-byte character is never changed.
std::string LowerCaseText(std::string_view text);
std::string RepeatText(int count, std::string_view text);

}  // namespace korvelin
