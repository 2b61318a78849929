// A product row from its five texts, for the product list tests.
#pragma once

#include <string>
#include <utility>

#include "products/product_list.h"

namespace korvelin::testing {

inline ProductEntry Entry(std::string number, std::string name, std::string code,
                          std::string target, std::string country) {
  ProductEntry entry;
  entry.number = std::move(number);
  entry.name = std::move(name);
  entry.code = std::move(code);
  entry.targetPrice = std::move(target);
  entry.country = std::move(country);
  return entry;
}

}  // namespace korvelin::testing
