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
// unchecked, with empty current price and drop mark. Lines are split at CR LF; lines
// shorter than 19 bytes and lines with fewer than four fields are skipped; fields after
// the fourth are dropped. nullopt when the text holds no "----" at all (not a list text).
// The text is taken as it is: trimming a file's text is the caller's business.
std::optional<std::vector<ProductEntry>> ParseProductList(std::string_view text);

// The built-in list of 17 products, loaded when there is no list file yet: the lines
// joined by CR LF, without a CR LF after the last one.
std::string DefaultProductListText();

}  // namespace korvelin
