#include "products/list_file.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "common/code_page.h"
#include "products/product_test_entry.h"

namespace korvelin {
namespace {

// 德国 in code page 936.
const std::string kGermany = "\xB5\xC2\xB9\xFA";

using testing::Entry;

TEST(ListFileTest, EncodesTheFourStoredColumnsOfEachRow) {
  ProductEntry first = Entry("7", "a b", "B00D8V0972", "60", kGermany);
  first.currentPrice = "54.99";
  first.dropMark = "x";
  first.monitored = true;
  const ProductEntry second = Entry("", "n", "", "1.5", "");
  EXPECT_EQ(EncodeProductList({first, second}),
            "a b----B00D8V0972----60----" + kGermany + "\r\nn--------1.5----\r\n");
  EXPECT_EQ(EncodeProductList({}), "");
}

TEST(ListFileTest, DefaultListTextIsTheSeventeenBuiltInLines) {
  const std::string expected = Ansi(
      "爱他美Pre----B00D8V08UK----60----德国\r\n"
      "爱他美1----B00D8V0972----60----德国\r\n"
      "爱他美2----B00D8V092W----38----德国\r\n"
      "爱他美3----B00D8V09FE----60----德国\r\n"
      "爱他美1+----B00BSNACII----60----德国\r\n"
      "爱他美2+----B00BSNAC9C----42----德国\r\n"
      "喜宝益生菌Pre----B004X0XATQ----42----德国\r\n"
      "喜宝益生菌1----B004X0XB3G----37----德国\r\n"
      "喜宝益生菌2----B004X0XBD6----60----德国\r\n"
      "喜宝益生菌3----B004X0X9TC----60----德国\r\n"
      "喜宝益生菌1+----B004X0XAFK----60----德国\r\n"
      "喜宝益生菌2+----B004X0XALE----60----德国\r\n"
      "喜宝有机Pre----B004X0XA6E----60----德国\r\n"
      "喜宝有机1----B003R7KV34----60----德国\r\n"
      "喜宝有机2----B0084CRNBA----60----德国\r\n"
      "喜宝有机3----B008V8YZMM----60----德国\r\n"
      "喜宝有机12----B007X2CL6E----60----德国");
  EXPECT_EQ(DefaultProductListText(), expected);
  // 爱他美 in code page 936, so the first line is checked without the converter.
  EXPECT_EQ(DefaultProductListText().substr(0, 11), "\xB0\xAE\xCB\xFB\xC3\xC0Pre--");

  const auto rows = ParseProductList(DefaultProductListText());
  ASSERT_TRUE(rows.has_value());
  ASSERT_EQ(rows->size(), 17u);
  for (std::size_t i = 0; i < rows->size(); ++i) {
    EXPECT_EQ((*rows)[i].number, std::to_string(i + 1));
    EXPECT_EQ((*rows)[i].country, kGermany);
    EXPECT_FALSE((*rows)[i].monitored);
  }
  EXPECT_EQ((*rows)[1], Entry("2", Ansi("爱他美1"), "B00D8V0972", "60", kGermany));
  EXPECT_EQ(EncodeProductList(*rows), expected + "\r\n");
}

struct ParseCase {
  const char* what;
  std::string text;
  std::vector<ProductEntry> rows;
};

class ParseProductListTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseProductListTest, GivesTheRowsOfTheText) {
  const auto rows = ParseProductList(GetParam().text);
  ASSERT_TRUE(rows.has_value());
  EXPECT_EQ(*rows, GetParam().rows);
}

const std::string kLine19 = "a----b----1----" + kGermany;  // the shortest full line
const std::string kLine18 = "a----b----1----DE1";
std::string kFullWidth() { return "\xA1\xA1"; }

INSTANTIATE_TEST_SUITE_P(
    ReaderRules, ParseProductListTest,
    ::testing::Values(
        ParseCase{"one line of 19 bytes", kLine19, {Entry("1", "a", "b", "1", kGermany)}},
        ParseCase{"a line of 18 bytes is skipped",
                  kLine18 + "\r\n" + kLine19,
                  {Entry("1", "a", "b", "1", kGermany)}},
        ParseCase{
            "final CR LF changes nothing",
            "name1----c1----60----" + kGermany + "\r\nname2----c2----7.5----US-X\r\n",
            {Entry("1", "name1", "c1", "60", kGermany), Entry("2", "name2", "c2", "7.5", "US-X")}},
        ParseCase{
            "empty lines do not leave gaps in the numbers",
            "\r\n\r\nname1----c1----60----" + kGermany +
                "\r\n\r\n\r\nshort\r\nname3----c3----30----" + kGermany + "\r\n\r\n",
            {Entry("1", "name1", "c1", "60", kGermany), Entry("2", "name3", "c3", "30", kGermany)}},
        ParseCase{"fields after the fourth are dropped",
                  "name----code----60----" + kGermany + "----extra----more",
                  {Entry("1", "name", "code", "60", kGermany)}},
        ParseCase{"a long line with fewer than four fields is skipped",
                  "a long name----code----60\r\nabcdefghijklmnopqrstuvwxyz----b\r\n" + kLine19,
                  {Entry("1", "a", "b", "1", kGermany)}},
        ParseCase{"an empty last field does not count",
                  "name----code----60----\r\n" + kLine19,
                  {Entry("1", "a", "b", "1", kGermany)}},
        ParseCase{"two separators in a row give an empty field",
                  "name--------60----" + kGermany,
                  {Entry("1", "name", "", "60", kGermany)}},
        ParseCase{"spaces inside the line stay part of the fields",
                  " name ----code ---- 60----" + kGermany + " ",
                  {Entry("1", " name ", "code ", " 60", kGermany + " ")}},
        ParseCase{"a lone LF or a lone CR ends a line as CR LF does",
                  "a----b----1----" + kGermany + "\nc----d----2----" + kGermany +
                      "\re----f----3----" + kGermany + "\r\n\n\r" + kLine19 + "\n",
                  {Entry("1", "a", "b", "1", kGermany), Entry("2", "c", "d", "2", kGermany),
                   Entry("3", "e", "f", "3", kGermany), Entry("4", "a", "b", "1", kGermany)}},
        ParseCase{"a line that would be saved shorter than 19 bytes is skipped",
                  "a----b----1----x----more than enough\r\n" + kLine19,
                  {Entry("1", "a", "b", "1", kGermany)}},
        ParseCase{"an empty fourth field skips the line",
                  "name----code----60--------note\r\n" + kLine19,
                  {Entry("1", "a", "b", "1", kGermany)}},
        ParseCase{"a separator starts only at a character",
                  // B9 2D: a lead byte pairs with the first "-"; the split comes one later.
                  "nam\xB9-----code----60----" + kGermany,
                  {Entry("1", "nam\xB9-", "code", "60", kGermany)}},
        ParseCase{"only short lines give an empty list", "a----b\r\nc----d", {}}),
    [](const ::testing::TestParamInfo<ParseCase>& info) {
      std::string name;
      for (const char* p = info.param.what; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return name;
    });

TEST(ListFileTest, TextWithoutSeparatorIsNoListText) {
  EXPECT_FALSE(ParseProductList("").has_value());
  EXPECT_FALSE(ParseProductList("a---b---c---d and more than nineteen bytes").has_value());
  EXPECT_FALSE(ParseProductList(Ansi("账号\r\n密码")).has_value());
  // A "----" that ends in a short line still makes the text a list text.
  const auto rows = ParseProductList("a----b");
  ASSERT_TRUE(rows.has_value());
  EXPECT_TRUE(rows->empty());
}

TEST(ListFileTest, EncodedRowsParseBackToTheSameRows) {
  const std::vector<ProductEntry> rows = {
      Entry("1", Ansi("喜宝有机12"), "B007X2CL6E", "60", kGermany),
      Entry("2", "Baby milk 800g", "B00BSNAC9C", "42.5", Ansi("意大利")),
      Entry("3", Ansi("名　称"), "X", "1", Ansi("日本")),
  };
  const std::string text = EncodeProductList(rows);
  const auto parsed = ParseProductList(text);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(*parsed, rows);
  EXPECT_EQ(EncodeProductList(*parsed), text);
}

// Five products as a Linux editor saves them: LF line ends, UTF-8.
const char* const kEditorList =
    "爱他美Pre----B00D8V08UK----60----德国\n"
    "爱他美1----B00D8V0972----60----德国\n"
    "喜宝有机1----B003R7KV34----60----德国\n"
    "Größe 2----B0084CRNBA----42.5----法国\n"
    "Hipp 3----B008V8YZMM----60----日本\n";

std::vector<ProductEntry> EditorRows() {
  return {Entry("1", Ansi("爱他美Pre"), "B00D8V08UK", "60", kGermany),
          Entry("2", Ansi("爱他美1"), "B00D8V0972", "60", kGermany),
          Entry("3", Ansi("喜宝有机1"), "B003R7KV34", "60", kGermany),
          // ö and ß have no code page 936 form
          Entry("4", "Gr??e 2", "B0084CRNBA", "42.5", Ansi("法国")),
          Entry("5", "Hipp 3", "B008V8YZMM", "60", Ansi("日本"))};
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

TEST(ListFileTest, FilesAsEditorsWriteThemLoadToTheirRows) {
  const std::string utf8 = kEditorList;
  const std::string cp936 = Ansi(kEditorList);
  const struct {
    const char* what;
    std::string bytes;
  } files[] = {
      {"UTF-8, LF", utf8},
      {"UTF-8 with a byte-order mark, LF", "\xEF\xBB\xBF" + utf8},
      {"UTF-8, CR LF", Replace(utf8, "\n", "\r\n")},
      {"UTF-8, lone CR, spaces around", "  \r" + Replace(utf8, "\n", "\r") + "  "},
      {"code page 936, LF", cp936},
      {"code page 936, CR LF", Replace(cp936, "\n", "\r\n")},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.what);
    const auto rows = ParseListFile(file.bytes);
    ASSERT_TRUE(rows.has_value());
    EXPECT_EQ(*rows, EditorRows());
    // Saved as the program writes lists: code page 936, CR LF.
    EXPECT_EQ(ListFileBytes(*rows), Replace(Ansi(kEditorList), "\n", "\r\n"));
    EXPECT_EQ(ListFileBytes(*rows), EncodeProductList(EditorRows()));
  }
}

TEST(ListFileTest, ListFileTextDecidesTheEncodingByTheBytes) {
  // ASCII alone is the same in both; a code page 936 text is not valid UTF-8.
  EXPECT_EQ(ListFileText("  a----b  "), "a----b");
  EXPECT_EQ(ListFileText(Ansi("  德国----b")), Ansi("德国----b"));
  EXPECT_EQ(ListFileText("德国----b"), Ansi("德国----b"));
  EXPECT_EQ(ListFileText("\xEF\xBB\xBF"
                         "a----b"),
            "a----b");
  // A byte-order mark decides even when the rest is not valid UTF-8: the bad byte is "?".
  EXPECT_EQ(ListFileText("\xEF\xBB\xBF"
                         "a\xFF----b"),
            "a?----b");
  // Up to the first NUL; a trailing full-width space is trimmed, its look-alike inside a
  // character is not (B9 A1 A1: 国's lead B9 pairs with the first A1).
  EXPECT_EQ(ListFileText(std::string("a----b\0c", 8)), "a----b");
  EXPECT_EQ(ListFileText("a----b\xA1\xA1 "), "a----b");
  EXPECT_EQ(ListFileText("a----\xB9\xA1\xA1"), "a----\xB9\xA1\xA1");
  // Overlong forms and surrogates are no UTF-8: the bytes stay code page 936.
  EXPECT_EQ(ListFileText("a\xC0\xAF----b"), "a\xC0\xAF----b");
  EXPECT_EQ(ListFileText("a\xED\xA0\x80----b"), "a\xED\xA0\x80----b");
}

struct RoundTripCase {
  const char* what;
  std::string bytes;
};

class ListFileRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

// Every row the reader takes from a file comes back from the file the program saves.
TEST_P(ListFileRoundTripTest, SavedRowsLoadBackToTheSameRowsAndBytes) {
  const auto rows = ParseListFile(GetParam().bytes);
  ASSERT_TRUE(rows.has_value());
  ASSERT_FALSE(rows->empty());
  const std::string saved = ListFileBytes(*rows);
  const auto loaded = ParseListFile(saved);
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(*loaded, *rows);
  EXPECT_EQ(ListFileBytes(*loaded), saved);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ListFileRoundTripTest,
    ::testing::Values(
        RoundTripCase{"five fields whose first four are short",
                      "a----b----1----x----a long fifth field\r\n" + kLine19 + "\r\n"},
        RoundTripCase{"an empty fourth field", "name----code----60--------note\r\n" + kLine19},
        RoundTripCase{"the first row's name starts with spaces after a short line",
                      "zz\r\n " + kFullWidth() + "name----code----60----" + kGermany},
        RoundTripCase{"a first name of spaces alone",
                      "zz\r\n  ----code----60----" + kGermany + "\r\n" + kLine19},
        RoundTripCase{"code page 936 bytes that read as UTF-8",
                      "\xC3\xA9\xC3\xA9----B00D8V0972----60----\xD3\xA2\xD3\xA2"},
        RoundTripCase{"code page 936 that starts like a byte-order mark",
                      "zz\r\n\xEF\xBB\xBF"
                      "A----B00D8V0972----60----" +
                          kGermany},
        RoundTripCase{"a lead byte before the separator",
                      "nam\xB9-----code----60----" + kGermany + "\n"},
        RoundTripCase{"a last line with a lone lead byte",
                      kLine19 + "\r\nname----code----60----x\xB9"},
        // The file is code page 936 (the bytes past its fourth field are no UTF-8), but
        // the rows it leaves read as UTF-8, and the pair 0x9C 0x16 names no character.
        RoundTripCase{"rows that read as UTF-8 once a field without UTF-8 is dropped",
                      "aA\x01"
                      "AIAAAAA\xEF\xBB\x9C\x16"
                      "AAAAAAAAAAA----AAAAAAAa--%3b--------c--------\x08\xFF\xFF\xFF"},
        // Code page 936 text that begins with the byte-order mark's bytes, and a country
        // whose lead byte 0xB9 takes a "-" of the separator as its second byte.
        RoundTripCase{"a pair that takes a dash in a text that starts like a byte-order mark",
                      "\xFA\r\n\xEF\xBB\xBF"
                      "Pre----B00D\x05V08UK----60----\xB5\xC2\xB9----\xB5\xC2\xB9\xFA"}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info) {
      std::string name;
      for (const char* p = info.param.what; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return name;
    });

TEST(ListFileTest, ListFileBytesAreCodePage936UnlessTheyWouldReadAsUtf8) {
  const std::vector<ProductEntry> rows = {Entry("1", Ansi("喜宝"), "B1", "60", kGermany)};
  EXPECT_EQ(ListFileBytes(rows), EncodeProductList(rows));
  EXPECT_EQ(ListFileBytes({}), "");
  // é é in UTF-8 is also a code page 936 text (two characters C3 A9): written as UTF-8
  // behind a byte-order mark, so that it still reads as those two characters.
  const std::vector<ProductEntry> ambiguous = {
      Entry("1", "\xC3\xA9", "B00D8V0972", "60", "\xD3\xA2\xD3\xA2")};
  const std::string bytes = ListFileBytes(ambiguous);
  EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(bytes.substr(3), AnsiToUtf8(EncodeProductList(ambiguous)));
}

}  // namespace
}  // namespace korvelin

namespace korvelin {
namespace {

// The euro sign is the one byte 0x80 in code page 936: a name or price ending in it still
// splits at the separator after it, so the saved line reads back as it was written.
TEST(ListFileTest, EuroSignBeforeASeparatorSurvivesTheRoundTrip) {
  const std::vector<ProductEntry> rows = {
      testing::Entry("1", Ansi("爱他美Pre 20€"), "B00D8V08UK", Ansi("19,99€"), kGermany),
      testing::Entry("2", Ansi("€"), Ansi("€"), "60", Ansi("法国")),
  };
  const std::string text = EncodeProductList(rows);
  EXPECT_EQ(text,
            Ansi("爱他美Pre 20€----B00D8V08UK----19,99€----德国\r\n€----€----60----法国\r\n"));
  const std::optional<std::vector<ProductEntry>> back = ParseProductList(text);
  ASSERT_TRUE(back.has_value());
  ASSERT_EQ(back->size(), 2u);
  EXPECT_EQ((*back)[0].name, Ansi("爱他美Pre 20€"));
  EXPECT_EQ((*back)[0].code, "B00D8V08UK");
  EXPECT_EQ((*back)[0].targetPrice, Ansi("19,99€"));
  EXPECT_EQ((*back)[0].country, kGermany);
  EXPECT_EQ((*back)[1].name, "\x80");
  EXPECT_EQ((*back)[1].code, "\x80");
  EXPECT_EQ((*back)[1].country, Ansi("法国"));
}

}  // namespace
}  // namespace korvelin
