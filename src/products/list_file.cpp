#include "products/list_file.h"

#include <utility>

#include "common/code_page.h"
#include "common/numbers.h"
#include "common/text.h"

namespace korvelin {

std::string EncodeProductList(const std::vector<ProductEntry>& rows) {
  std::string text;
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
  if (FindText(text, kFieldSeparator) == -1) return std::nullopt;
  std::vector<ProductEntry> rows;
  for (const std::string& line : SplitText(text, kLineSeparator)) {
    if (static_cast<int>(line.size()) < kShortestListLine) continue;
    std::vector<std::string> fields = SplitText(line, kFieldSeparator);
    // A long line without all four fields is no product: it is skipped like a short
    // line rather than leaving a half-filled row behind.
    if (fields.size() < 4) continue;
    ProductEntry row;
    row.number = IntToText(static_cast<std::int64_t>(rows.size()) + 1);
    row.name = std::move(fields[0]);
    row.code = std::move(fields[1]);
    row.targetPrice = std::move(fields[2]);
    row.country = std::move(fields[3]);
    rows.push_back(std::move(row));
  }
  return rows;
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
