// The rules the product dialog applies before fields enter the list.
#include "products/product_fields.h"

#include <gtest/gtest.h>

#include "common/code_page.h"

namespace korvelin {
namespace {

TEST(ProductFields, FirstUnstorableCharacter) {
  struct Case {
    const char* utf8;
    std::string expected;
  };
  for (const Case& c :
       {Case{"喜宝有机1", ""}, Case{"Milk A?", ""}, Case{"", ""}, Case{"Größe", "ö"},
        Case{"jörg Größe", "ö"}, Case{"牛奶\xF0\x9F\x8D\xBC", "\xF0\x9F\x8D\xBC"},
        Case{"€5", ""},  // code page 936 has the euro sign (0x80)
        Case{"a\xFF"
             "b",
             "\xFF"},
        Case{"ab\xE4", "\xE4"}}) {
    EXPECT_EQ(FirstUnstorableCharacter(c.utf8), c.expected) << c.utf8;
  }
}

TEST(ProductFields, CheckStorableNamesTheFirstFieldAndCharacter) {
  FieldProblem p = CheckStorable("Größe", "B00D8V0972", "12");
  EXPECT_EQ(p.fault, FieldFault::NotStorable);
  EXPECT_EQ(p.field, ProductField::Name);
  EXPECT_EQ(p.character, "ö");
  p = CheckStorable("爱他美", "B00D8V0972", "１２\xF0\x9F\x98\x80");
  EXPECT_EQ(p.fault, FieldFault::NotStorable);
  EXPECT_EQ(p.field, ProductField::TargetPrice);
  EXPECT_EQ(p.character, "\xF0\x9F\x98\x80");
  EXPECT_EQ(CheckStorable("爱他美", "B00D8V0972", "60").fault, FieldFault::None);
}

TEST(ProductFields, PriceWithPoint) {
  struct Case {
    const char* typed;
    const char* stored;
  };
  for (const Case& c : {Case{"12,99", "12.99"}, Case{"12.99", "12.99"}, Case{"60", "60"},
                        Case{"1.299,00", "1299.00"}, Case{"1,299.00", "1299.00"}, Case{",5", ".5"},
                        Case{"abc", "abc"}, Case{"", ""}}) {
    EXPECT_EQ(PriceWithPoint(c.typed), c.stored) << c.typed;
  }
}

TEST(ProductFields, IsPriceNumber) {
  for (const char* yes : {"12", "12.99", ".5", "12.", "0"}) EXPECT_TRUE(IsPriceNumber(yes)) << yes;
  for (const char* no : {"", ".", "abc", "12a", "-5", "1.2.3", "12,99", "1e3", "+1"}) {
    EXPECT_FALSE(IsPriceNumber(no)) << no;
  }
}

TEST(ProductFields, CheckProductFields) {
  struct Case {
    const char* name;
    const char* code;
    const char* price;
    FieldFault fault;
    ProductField field;
  };
  const Case cases[] = {
      {"爱他美1", "B00D8V0972", "60", FieldFault::None, ProductField::Name},
      {"喜宝----有机", "B00D8V0972", "60", FieldFault::Separator, ProductField::Name},
      {"喜宝---有机", "B00D8V0972", "60", FieldFault::None, ProductField::Name},
      {"爱他美1", "B00D----8V0972", "60", FieldFault::Separator, ProductField::Code},
      {"爱他美1", "B00D8V0972", "6----0", FieldFault::Separator, ProductField::TargetPrice},
      {"Aptamil Pre\nAnfangsmilch", "B00D8V0972", "60", FieldFault::LineBreak, ProductField::Name},
      {"Aptamil\r", "B00D8V0972", "60", FieldFault::LineBreak, ProductField::Name},
      {"爱他美1", "B00D\n8V0972", "60", FieldFault::LineBreak, ProductField::Code},
      {"爱他美1", "B00D8V0972", "sechzig", FieldFault::NotANumber, ProductField::TargetPrice},
      {"爱他美1", "B00D8V0972", "60EUR", FieldFault::NotANumber, ProductField::TargetPrice},
      {"爱他美1", "https://example.com/dp/B00D8V0972", "60", FieldFault::NotACode,
       ProductField::Code},
      {"爱他美1", "B00D8V0972/ref", "60", FieldFault::NotACode, ProductField::Code},
  };
  for (const Case& c : cases) {
    const FieldProblem p = CheckProductFields(Ansi(c.name), Ansi(c.code), Ansi(c.price));
    EXPECT_EQ(p.fault, c.fault) << c.name << " | " << c.code << " | " << c.price;
    if (c.fault != FieldFault::None) {
      EXPECT_EQ(p.field, c.field) << c.name;
    }
  }
}

}  // namespace
}  // namespace korvelin
