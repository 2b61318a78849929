// The list file format: one product a line, name----code----target price----country,
// lines ended by CR LF, code page 936 bytes, no header. The same form serves the default
// list file, the built-in list, import and export.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "products/product_list.h"

namespace korvelin {

// The field separator of a list line.
inline constexpr std::string_view kFieldSeparator = "----";
// The line separator of a list text.
inline constexpr std::string_view kLineSeparator = "\r\n";
// The shortest line that can hold all four fields (a one-byte name, code and price and a
// two-character country name); shorter lines are skipped.
inline constexpr int kShortestListLine = 19;

// Columns 1, 2, 4 and 5 of every row, each row ended by CR LF; no rows gives "".
std::string EncodeProductList(const std::vector<ProductEntry>& rows);

// The rows a list text describes, numbered 1..n by their position among the rows made,
// unchecked, with empty current price and drop mark. Lines end at CR LF, at a lone LF and
// at a lone CR (as editors on every system write them). A line gives a row when it holds
// four fields; fields after the fourth are dropped. A line is skipped when it is shorter
// than 19 bytes, has fewer fields, has an empty fourth field (its saved line would have
// three), or when the line the row is saved as (its four fields joined) is shorter than 19
// bytes: every row read is read again from the file it is saved to. nullopt when the text holds no
// "----" at all (not a list text). The text is taken as it is: trimming a file's text is
// ParseListFile's business.
std::optional<std::vector<ProductEntry>> ParseProductList(std::string_view text);

// A list file's bytes as a list text: the bytes up to the first NUL; UTF-8 (a byte-order
// mark, or valid UTF-8 that holds multi-byte sequences) converted to code page 936, any
// other text taken as code page 936; spaces cut from both ends.
std::string ListFileText(std::string_view bytes);

// The rows of a list file: ParseProductList of ListFileText. The first row's name loses
// its leading spaces, as the trimming of the saved file would take them.
std::optional<std::vector<ProductEntry>> ParseListFile(std::string_view bytes);

// The bytes a list file is written as: EncodeProductList, in code page 936. Only when those
// bytes would read as UTF-8 (ParseListFile), the same text is written as UTF-8 behind a
// byte-order mark instead, so that the file still loads back to the same rows.
std::string ListFileBytes(const std::vector<ProductEntry>& rows);

// The built-in list of 17 products, loaded when there is no list file yet: the lines
// joined by CR LF, without a CR LF after the last one.
std::string DefaultProductListText();

}  // namespace korvelin
