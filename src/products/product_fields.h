// The rules a product's fields must meet before the product dialog puts them into the list,
// so that the list file reads back to the same rows: no field separator "----" and no line
// break inside a field, only characters code page 936 can store, a target price that is a
// number.
#pragma once

#include <string>
#include <string_view>

namespace korvelin {

enum class ProductField { Name, Code, TargetPrice };

enum class FieldFault {
  None,
  NotStorable,  // a character without a code page 936 form ("ö", emoji)
  Separator,    // holds "----", which separates the fields of a list line
  LineBreak,    // holds CR or LF (a pasted title of several lines)
  NotANumber,   // the target price is not a decimal number
  NotACode,     // the product code holds "/" or ":": an address that names no product code
};

struct FieldProblem {
  FieldFault fault = FieldFault::None;
  ProductField field = ProductField::Name;
  std::string character;  // NotStorable: the first such character, UTF-8
};

// The first character of a UTF-8 text that code page 936 cannot store, as UTF-8; empty when
// every character can be stored. An invalid UTF-8 byte counts as such a character.
std::string FirstUnstorableCharacter(std::string_view utf8);

// Whether the three texts (UTF-8, as typed) can all be stored; the first field that cannot.
FieldProblem CheckStorable(std::string_view name, std::string_view code, std::string_view price);

// A target price with a decimal comma written with a point: "12,99" -> "12.99". When both
// a comma and a point occur, the last of them is the decimal mark and the others group
// thousands ("1.299,00" -> "1299.00", "1,299.00" -> "1299.00"). Code page 936 bytes.
std::string PriceWithPoint(std::string_view price);

// Digits with at most one point and at least one digit: "12", "12.99", ".5", "12.".
bool IsPriceNumber(std::string_view price);

// The checks after cleaning (code page 936, spaces removed, none of them empty), in the
// order name, code, target price; the first problem found.
FieldProblem CheckProductFields(std::string_view name, std::string_view code,
                                std::string_view price);

}  // namespace korvelin
