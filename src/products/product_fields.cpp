#include "products/product_fields.h"

#include "common/code_page.h"

namespace korvelin {

namespace {

// The length of the UTF-8 sequence starting at text[i], or 0 when it is not a valid one.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF)
    length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF)
    length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4)
    length = 4;
  else
    return 0;
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  return length;
}

bool HasLineBreak(std::string_view text) {
  return text.find('\r') != std::string_view::npos || text.find('\n') != std::string_view::npos;
}

bool HasSeparator(std::string_view text) { return text.find("----") != std::string_view::npos; }

}  // namespace

std::string FirstUnstorableCharacter(std::string_view utf8) {
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t length = Utf8Length(utf8, i);
    if (length == 0) return std::string(utf8.substr(i, 1));
    if (length > 1) {
      // The encoder writes "?" for a character it has no form for.
      const std::string_view character = utf8.substr(i, length);
      if (Utf8ToAnsi(character) == "?") return std::string(character);
    }
    i += length;
  }
  return {};
}

FieldProblem CheckStorable(std::string_view name, std::string_view code, std::string_view price) {
  const std::pair<ProductField, std::string_view> fields[] = {
      {ProductField::Name, name}, {ProductField::Code, code}, {ProductField::TargetPrice, price}};
  for (const auto& [field, text] : fields) {
    std::string character = FirstUnstorableCharacter(text);
    if (!character.empty()) return {FieldFault::NotStorable, field, std::move(character)};
  }
  return {};
}

std::string PriceWithPoint(std::string_view price) {
  const std::size_t mark = price.find_last_of(",.");
  if (mark == std::string_view::npos) return std::string(price);
  std::string result;
  result.reserve(price.size());
  for (std::size_t i = 0; i < price.size(); ++i) {
    if (i == mark) {
      result += '.';
    } else if (price[i] != ',' && price[i] != '.') {
      result += price[i];
    }
  }
  return result;
}

bool IsPriceNumber(std::string_view price) {
  int digits = 0;
  int points = 0;
  for (const char c : price) {
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.') {
      ++points;
    } else {
      return false;
    }
  }
  return digits > 0 && points <= 1;
}

FieldProblem CheckProductFields(std::string_view name, std::string_view code,
                                std::string_view price) {
  const std::pair<ProductField, std::string_view> fields[] = {
      {ProductField::Name, name}, {ProductField::Code, code}, {ProductField::TargetPrice, price}};
  for (const auto& [field, text] : fields) {
    if (HasLineBreak(text)) return {FieldFault::LineBreak, field, {}};
    if (HasSeparator(text)) return {FieldFault::Separator, field, {}};
  }
  if (code.find_first_of("/:") != std::string_view::npos) {
    return {FieldFault::NotACode, ProductField::Code, {}};
  }
  if (!IsPriceNumber(price)) return {FieldFault::NotANumber, ProductField::TargetPrice, {}};
  return {};
}

}  // namespace korvelin
