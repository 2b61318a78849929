#include "monitor/price_markup.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "common/code_page.h"
#include "common/text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvelin {
namespace {

constexpr std::size_t kNone = std::string_view::npos;
// How far an element may reach before its end is no longer looked for: the price blocks are
// a few kilobytes; a page without the closing tag must not make the search run to its end.
constexpr std::size_t kLongestElement = 256 * 1024;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The first `needle` at or after `from`, never on the second byte of a double-byte character.
std::size_t Find(std::string_view page, std::string_view needle, std::size_t from = 0) {
  if (from >= page.size()) return kNone;
  const int at = FindText(page, needle, static_cast<int>(from) + 1);
  return at == -1 ? kNone : static_cast<std::size_t>(at - 1);
}

// The tag that holds position `at` (the "<" before it), or kNone when `at` is not inside a tag.
std::size_t TagStartAround(std::string_view page, std::size_t at) {
  const std::size_t lt = page.rfind('<', at);
  if (lt == kNone) return kNone;
  const std::size_t gt = page.find('>', lt);
  return gt != kNone && gt >= at ? lt : kNone;
}

// The text of the tag starting at `lt`, "<" to ">" inclusive.
std::string_view TagAt(std::string_view page, std::size_t lt) {
  const std::size_t gt = page.find('>', lt);
  if (gt == kNone) return page.substr(lt);
  return page.substr(lt, gt - lt + 1);
}

std::string_view AttributeValue(std::string_view tag, std::string_view name) {
  std::size_t from = 0;
  while (true) {
    const std::size_t at = tag.find(name, from);
    if (at == kNone) return {};
    const std::size_t eq = at + name.size();
    const bool wordStart = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' ||
                                      tag[at - 1] == '\n' || tag[at - 1] == '\r');
    if (wordStart && eq + 1 < tag.size() && tag[eq] == '=' &&
        (tag[eq + 1] == '"' || tag[eq + 1] == '\'')) {
      const char quote = tag[eq + 1];
      const std::size_t end = tag.find(quote, eq + 2);
      if (end == kNone) return {};
      return tag.substr(eq + 2, end - eq - 2);
    }
    from = at + 1;
  }
}

bool HasToken(std::string_view list, std::string_view token) {
  std::size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && (list[i] == ' ' || list[i] == '\t' || list[i] == '\n')) ++i;
    std::size_t j = i;
    while (j < list.size() && list[j] != ' ' && list[j] != '\t' && list[j] != '\n') ++j;
    if (list.substr(i, j - i) == token) return true;
    i = j;
  }
  return false;
}

bool HasClass(std::string_view tag, std::string_view token) {
  return HasToken(AttributeValue(tag, "class"), token);
}

std::string_view TagName(std::string_view tag) {
  std::size_t end = 1;
  while (end < tag.size() && tag[end] != ' ' && tag[end] != '>' && tag[end] != '/' &&
         tag[end] != '\t' && tag[end] != '\n' && tag[end] != '\r')
    ++end;
  return tag.substr(1, end - 1);
}

// The end (just after the closing tag) of the element starting at `lt`; the nesting of
// elements of the same name is counted. kNone when it does not end within reach.
std::size_t ElementEnd(std::string_view page, std::size_t lt) {
  const std::string_view tag = TagAt(page, lt);
  const std::string name(TagName(tag));
  if (name.empty() || (tag.size() >= 2 && tag[tag.size() - 2] == '/')) return lt + tag.size();
  const std::string open = "<" + name;
  const std::string close = "</" + name;
  const std::size_t limit = std::min(page.size(), lt + kLongestElement);
  const std::string_view scope = page.substr(0, limit);
  int depth = 1;
  std::size_t pos = lt + tag.size();
  while (pos < limit) {
    const std::size_t lessThan = scope.find('<', pos);
    if (lessThan == kNone) return kNone;
    const std::string_view rest = scope.substr(lessThan);
    auto followedByNameEnd = [&](std::size_t length) {
      return rest.size() > length &&
             (rest[length] == '>' || rest[length] == ' ' || rest[length] == '\t' ||
              rest[length] == '\n' || rest[length] == '\r' || rest[length] == '/');
    };
    if (rest.starts_with(close) && followedByNameEnd(close.size())) {
      if (--depth == 0) {
        const std::size_t gt = scope.find('>', lessThan);
        return gt == kNone ? kNone : gt + 1;
      }
    } else if (rest.starts_with(open) && followedByNameEnd(open.size())) {
      const std::string_view inner = TagAt(page, lessThan);
      if (!(inner.size() >= 2 && inner[inner.size() - 2] == '/')) ++depth;
    }
    pos = lessThan + 1;
  }
  return kNone;
}

struct Span {
  std::size_t begin = kNone;  // the "<" of the opening tag
  std::size_t end = kNone;    // just after the closing tag
  bool found() const { return begin != kNone && end != kNone; }
};

Span ElementAt(std::string_view page, std::size_t lt) {
  if (lt == kNone) return {};
  return {lt, ElementEnd(page, lt)};
}

// The element whose opening tag carries id="ID".
Span ElementById(std::string_view page, std::string_view id, std::size_t from = 0) {
  const std::string needle = "id=\"" + std::string(id) + "\"";
  std::size_t at = Find(page, needle, from);
  while (at != kNone) {
    const std::size_t lt = TagStartAround(page, at);
    if (lt != kNone) return ElementAt(page, lt);
    at = Find(page, needle, at + 1);
  }
  return {};
}

// The markers looked for over a whole page (not inside a block): the captcha texts, the
// Kindle price row and the "NEW" buying option. A page without a price holds none of them, and
// looking for each on its own would cost one search of the page per marker; one pass looks for
// all of them together, 16 bytes at a time: two bytes of each marker (`first` and `second`
// places) are compared across the block, and only where both agree is the marker compared.
enum WholePageMarker : std::size_t {
  kValidateCaptcha,
  kOpfCaptcha,
  kTypeCharacters,
  kEnterCharacters,
  kContinueShopping,
  kKindlePrice,
  kNewBuyingOption,
  kWholePageMarkerCount
};
struct MarkerSpec {
  std::string_view text;
  std::size_t first;  // two places in the text whose bytes are rare together on a page
  std::size_t second;
};
constexpr std::array<MarkerSpec, kWholePageMarkerCount> kWholePageMarkers = {{
    {"/errors/validateCaptcha", 8, 16},
    {"opfcaptcha", 1, 2},
    {"Type the characters you see", 0, 9},
    {"Enter the characters you see below", 0, 21},
    {"Click the button below to continue shopping", 0, 10},
    {"kindle-price", 0, 6},
    {"\"buyingOptionType\":\"NEW\"", 7, 13},
}};
constexpr std::string_view kKindlePriceClass = kWholePageMarkers[kKindlePrice].text;
constexpr std::string_view kNewBuyingOptionText = kWholePageMarkers[kNewBuyingOption].text;

// Whether `at` starts a character: the run of lead-range bytes (0x81 to 0xFE) before it pairs
// up, as the page searches count it.
bool StartsCharacter(std::string_view page, std::size_t at) {
  std::size_t run = at;
  while (run > 0) {
    const auto byte = static_cast<unsigned char>(page[run - 1]);
    if (byte < 0x81 || byte == 0xFF) break;
    --run;
  }
  return ((at - run) & 1) == 0;
}

// The first place of each marker (kNone when absent). Where a marker counts is what the
// families and the cause rules look for: the Kindle row's class and the "NEW" option at a
// character start, the captcha texts anywhere (the page searches find them through a part
// after their first letters, which always starts a character).
std::array<std::size_t, kWholePageMarkerCount> FindWholePageMarkers(std::string_view page) {
  std::array<std::size_t, kWholePageMarkerCount> found;
  found.fill(kNone);
  std::size_t left = kWholePageMarkerCount;
  auto matches = [&](std::size_t k, std::size_t at) {
    const std::string_view text = kWholePageMarkers[k].text;
    return page.substr(at, text.size()) == text && (k < kKindlePrice || StartsCharacter(page, at));
  };
  std::size_t longest = 0;
  for (const MarkerSpec& wholePageMarker : kWholePageMarkers)
    longest = std::max(longest, wholePageMarker.text.size());
  std::size_t block = 0;
#if defined(__SSE2__)
  constexpr std::size_t kWidth = 16;
  __m128i firstBytes[kWholePageMarkerCount];
  __m128i secondBytes[kWholePageMarkerCount];
  for (std::size_t k = 0; k < kWholePageMarkerCount; ++k) {
    const MarkerSpec& wholePageMarker = kWholePageMarkers[k];
    firstBytes[k] = _mm_set1_epi8(wholePageMarker.text[wholePageMarker.first]);
    secondBytes[k] = _mm_set1_epi8(wholePageMarker.text[wholePageMarker.second]);
  }
  const char* data = page.data();
  // A found marker is no longer looked for: its lane of the test is masked off.
  __m128i looking[kWholePageMarkerCount];
  for (__m128i& lane : looking) lane = _mm_set1_epi8(-1);
  for (; left > 0 && block + kWidth + longest <= page.size(); block += kWidth) {
    __m128i candidates[kWholePageMarkerCount];
    __m128i any = _mm_setzero_si128();
    for (std::size_t k = 0; k < kWholePageMarkerCount; ++k) {
      const MarkerSpec& wholePageMarker = kWholePageMarkers[k];
      const __m128i a =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + block + wholePageMarker.first));
      const __m128i b =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + block + wholePageMarker.second));
      candidates[k] = _mm_and_si128(looking[k], _mm_and_si128(_mm_cmpeq_epi8(a, firstBytes[k]),
                                                              _mm_cmpeq_epi8(b, secondBytes[k])));
      any = _mm_or_si128(any, candidates[k]);
    }
    if (_mm_movemask_epi8(any) == 0) continue;
    for (std::size_t k = 0; k < kWholePageMarkerCount; ++k) {
      auto mask = static_cast<unsigned>(_mm_movemask_epi8(candidates[k]));
      while (mask != 0) {
        const std::size_t at = block + static_cast<std::size_t>(__builtin_ctz(mask));
        if (matches(k, at)) {
          found[k] = at;
          looking[k] = _mm_setzero_si128();
          --left;
          break;
        }
        mask &= mask - 1;
      }
    }
  }
#endif
  // The rest of the page (all of it without the vector pass), byte by byte.
  for (std::size_t k = 0; k < kWholePageMarkerCount && left > 0; ++k) {
    if (found[k] != kNone) continue;
    const std::string_view text = kWholePageMarkers[k].text;
    for (std::size_t at = page.find(text, block); at != kNone; at = page.find(text, at + 1)) {
      if (matches(k, at)) {
        found[k] = at;
        --left;
        break;
      }
    }
  }
  return found;
}

// The ids the families look for. One pass over the page finds the first tag of each, so that
// a page without most of them costs one search, not one search per id.
constexpr std::array<std::string_view, 13> kKnownIds = {"corePriceDisplay_desktop_feature_div",
                                                        "corePrice_feature_div",
                                                        "corePrice_desktop",
                                                        "apex_desktop",
                                                        "priceblock_dealprice",
                                                        "priceblock_saleprice",
                                                        "priceblock_ourprice",
                                                        "price_inside_buybox",
                                                        "newBuyBoxPrice",
                                                        "buyNewSection",
                                                        "twister-plus-price-data-price",
                                                        "outOfStock",
                                                        "availability"};

class IdIndex {
 public:
  explicit IdIndex(std::string_view page) : page_(page) {
    first_.fill(kNone);
    static constexpr std::string_view kAttribute = "id=\"";
    std::size_t left = kKnownIds.size();
    for (std::size_t at = Find(page, kAttribute); at != kNone && left > 0;
         at = Find(page, kAttribute, at + kAttribute.size())) {
      const std::size_t begin = at + kAttribute.size();
      const std::size_t end = page.find('"', begin);
      if (end == kNone) break;
      const std::string_view id = page.substr(begin, end - begin);
      for (std::size_t k = 0; k < kKnownIds.size(); ++k) {
        if (first_[k] == kNone && id == kKnownIds[k] && at > 0 &&
            (page[at - 1] == ' ' || page[at - 1] == '\t' || page[at - 1] == '\n') &&
            TagStartAround(page, at) != kNone) {
          first_[k] = TagStartAround(page, at);
          --left;
        }
      }
    }
  }
  Span Element(std::string_view id) const {
    for (std::size_t k = 0; k < kKnownIds.size(); ++k) {
      if (kKnownIds[k] == id) return first_[k] == kNone ? Span{} : ElementAt(page_, first_[k]);
    }
    return ElementById(page_, id);
  }
  // The first place of a whole-page marker, looked for (all of them in one pass) when first
  // asked: a page whose price block is found never pays for the pass.
  std::size_t Marker(WholePageMarker marker) const {
    if (!markers_) markers_ = FindWholePageMarkers(page_);
    return (*markers_)[marker];
  }

 private:
  std::string_view page_;
  mutable std::optional<std::array<std::size_t, kWholePageMarkerCount>> markers_;
  std::array<std::size_t, kKnownIds.size()> first_{};
};

// The text of an element: its content with every tag left out, scripts and styles too.
std::string InnerText(std::string_view page, Span element) {
  std::string text;
  if (!element.found()) return text;
  const std::size_t start = page.find('>', element.begin);
  if (start == kNone || start >= element.end) return text;
  bool inTag = false;
  for (std::size_t i = start + 1; i < element.end; ++i) {
    const char c = page[i];
    if (inTag) {
      if (c == '>') inTag = false;
    } else if (c == '<') {
      inTag = true;
    } else {
      text.push_back(c);
    }
  }
  // The closing tag of the element itself went in as "<...": nothing of it is text.
  return text;
}

bool HasDigit(std::string_view text) { return std::any_of(text.begin(), text.end(), IsDigit); }

// Every opening tag in [from, to) whose class list holds `token`, in page order.
std::vector<std::size_t> TagsWithClass(std::string_view page, std::size_t from, std::size_t to,
                                       std::string_view token) {
  std::vector<std::size_t> tags;
  // The search never looks past `to`: a token missing from a block costs the block only.
  const std::string_view scope = page.substr(0, std::min(to, page.size()));
  std::size_t at = Find(scope, token, from);
  while (at != kNone) {
    const std::size_t lt = TagStartAround(page, at);
    if (lt != kNone && lt >= from && page[lt + 1] != '/' && HasClass(TagAt(page, lt), token) &&
        (tags.empty() || tags.back() != lt)) {
      tags.push_back(lt);
    }
    at = Find(scope, token, at + token.size());
  }
  return tags;
}

// The first element within `outer` whose class list holds `token`.
Span FirstWithClass(std::string_view page, Span outer, std::string_view token) {
  if (!outer.found()) return {};
  const std::vector<std::size_t> tags = TagsWithClass(page, outer.begin, outer.end, token);
  if (tags.empty()) return {};
  return ElementAt(page, tags.front());
}

bool IsStruck(std::string_view tag) {
  return HasClass(tag, "a-text-strike") || AttributeValue(tag, "data-a-strike") == "true";
}

MarkupPrice Priced(std::string_view text, bool commaDecimal, std::string family) {
  MarkupPrice result;
  result.priceText = ReadPriceAmount(text, commaDecimal);
  if (!result.priceText.empty()) result.family = std::move(family);
  return result;
}

// The price of one "a-price" element: its screen-reader copy "a-offscreen"; when that is
// blank (2025 on), the "aok-offscreen" copy beside it in the same block; else the visible
// copy split into symbol, whole, decimal and fraction.
MarkupPrice FromPriceElement(std::string_view page, Span block, Span price, bool commaDecimal,
                             const std::string& family) {
  const std::string offscreen = InnerText(page, FirstWithClass(page, price, "a-offscreen"));
  if (HasDigit(offscreen)) return Priced(offscreen, commaDecimal, family + " a-offscreen");
  // The readable copy sits before the price element in its block, or just after it.
  const std::vector<std::size_t> before =
      TagsWithClass(page, block.begin, price.begin, "aok-offscreen");
  for (auto it = before.rbegin(); it != before.rend(); ++it) {
    const std::string text = InnerText(page, ElementAt(page, *it));
    if (HasDigit(text)) return Priced(text, commaDecimal, family + " aok-offscreen");
    break;
  }
  const std::vector<std::size_t> after = TagsWithClass(page, price.end, block.end, "aok-offscreen");
  if (!after.empty()) {
    const std::string text = InnerText(page, ElementAt(page, after.front()));
    if (HasDigit(text)) return Priced(text, commaDecimal, family + " aok-offscreen");
  }
  const Span whole = FirstWithClass(page, price, "a-price-whole");
  if (whole.found()) {
    std::string visible = InnerText(page, whole);
    const std::string fraction = InnerText(page, FirstWithClass(page, price, "a-price-fraction"));
    // The whole part carries its decimal sign inside ("45<span>.</span>"); keep one sign.
    while (!visible.empty() && !IsDigit(visible.back())) visible.pop_back();
    std::string amount = visible;
    if (HasDigit(fraction)) amount += (commaDecimal ? "," : ".") + fraction;
    return Priced(amount, commaDecimal, family + " a-price-whole");
  }
  return {};
}

// 2021 on: the price block of the buy box and the "a-price" element marked as the price to
// pay; without such a mark, the first "a-price" element that is not struck through and not a
// secondary (per-unit, list) price.
MarkupPrice FromCorePriceBlocks(std::string_view page, const IdIndex& ids, bool commaDecimal) {
  static constexpr std::array<std::string_view, 4> kBlocks = {
      "corePriceDisplay_desktop_feature_div", "corePrice_feature_div", "corePrice_desktop",
      "apex_desktop"};
  static constexpr std::array<std::string_view, 3> kToPay = {"priceToPay", "apexPriceToPay",
                                                             "apex-pricetopay-value"};
  for (std::string_view id : kBlocks) {
    const Span block = ids.Element(id);
    if (!block.found()) continue;
    for (std::string_view token : kToPay) {
      for (std::size_t lt : TagsWithClass(page, block.begin, block.end, token)) {
        const std::string_view tag = TagAt(page, lt);
        if (!HasClass(tag, "a-price") || IsStruck(tag)) continue;
        MarkupPrice found =
            FromPriceElement(page, block, ElementAt(page, lt), commaDecimal, std::string(token));
        if (!found.priceText.empty()) return found;
      }
    }
    for (std::size_t lt : TagsWithClass(page, block.begin, block.end, "a-price")) {
      const std::string_view tag = TagAt(page, lt);
      if (IsStruck(tag) || HasClass(tag, "a-text-price")) continue;
      MarkupPrice found = FromPriceElement(page, block, ElementAt(page, lt), commaDecimal,
                                           std::string(id) + " a-price");
      if (!found.priceText.empty()) return found;
    }
  }
  return {};
}

// 2017 to 2021: the price block ids, then the buy box copies.
MarkupPrice FromPriceIds(std::string_view page, const IdIndex& ids, bool commaDecimal) {
  static constexpr std::array<std::string_view, 5> kIds = {
      "priceblock_dealprice", "priceblock_saleprice", "priceblock_ourprice", "price_inside_buybox",
      "newBuyBoxPrice"};
  for (std::string_view id : kIds) {
    const Span element = ids.Element(id);
    if (!element.found() || IsStruck(TagAt(page, element.begin))) continue;
    MarkupPrice found = Priced(InnerText(page, element), commaDecimal, std::string(id));
    if (!found.priceText.empty()) return found;
  }
  return {};
}

// Books: the new offer's price; e-books: the Kindle price row.
MarkupPrice FromBookOffers(std::string_view page, const IdIndex& ids, bool commaDecimal) {
  const Span newSection = ids.Element("buyNewSection");
  if (newSection.found()) {
    for (std::size_t lt : TagsWithClass(page, newSection.begin, newSection.end, "offer-price")) {
      MarkupPrice found =
          Priced(InnerText(page, ElementAt(page, lt)), commaDecimal, "buyNewSection offer-price");
      if (!found.priceText.empty()) return found;
    }
  }
  if (ids.Marker(kKindlePrice) == kNone) return {};
  for (std::size_t row : TagsWithClass(page, 0, page.size(), kKindlePriceClass)) {
    const Span kindle = ElementAt(page, row);
    if (!kindle.found()) continue;
    const std::string_view tag = TagAt(page, row);
    if (HasClass(tag, "a-color-price")) {
      MarkupPrice found = Priced(InnerText(page, kindle), commaDecimal, "kindle-price");
      if (!found.priceText.empty()) return found;
    }
    for (std::size_t lt : TagsWithClass(page, kindle.begin, kindle.end, "a-color-price")) {
      if (IsStruck(TagAt(page, lt))) continue;
      MarkupPrice found =
          Priced(InnerText(page, ElementAt(page, lt)), commaDecimal, "kindle-price");
      if (!found.priceText.empty()) return found;
    }
  }
  return {};
}

// A machine-written number ("44.99"): "." is the decimal sign whatever the marketplace.
MarkupPrice MachineNumber(std::string_view text, std::string family) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '"')) ++i;
  std::size_t j = i;
  while (j < text.size() && (IsDigit(text[j]) || text[j] == '.')) ++j;
  const std::string_view number = text.substr(i, j - i);
  if (!HasDigit(number) || std::count(number.begin(), number.end(), '.') > 1 ||
      !IsDigit(number.front()))
    return {};
  return {std::string(number), std::move(family)};
}

// The hidden input of the variation picker, then the JSON list of buying options (the "NEW"
// entry; "USED" and the others are never the price).
MarkupPrice FromMachineData(std::string_view page, const IdIndex& ids) {
  const Span input = ids.Element("twister-plus-price-data-price");
  if (input.found()) {
    MarkupPrice found = MachineNumber(AttributeValue(TagAt(page, input.begin), "value"),
                                      "twister-plus-price-data-price");
    if (!found.priceText.empty()) return found;
  }
  const std::string_view kNew = kNewBuyingOptionText;
  for (std::size_t at = ids.Marker(kNewBuyingOption); at != kNone; at = Find(page, kNew, at + 1)) {
    const std::size_t open = page.rfind('{', at);
    const std::size_t close = page.find('}', at);
    if (open == kNone || close == kNone) continue;
    const std::string_view entry = page.substr(open, close - open);
    static constexpr std::string_view kAmount = "\"priceAmount\":";
    const std::size_t amount = entry.find(kAmount);
    if (amount != kNone) {
      MarkupPrice found = MachineNumber(entry.substr(amount + kAmount.size()), "priceAmount");
      if (!found.priceText.empty()) return found;
    }
  }
  return {};
}

// The entity that groups thousands at `p` ("&nbsp;", "&#160;", "&#8239;" and their hex
// forms), or a separator byte: a space, or "?" (U+00A0 and U+202F after the conversion).
std::size_t GroupSeparatorLength(std::string_view text, std::size_t p) {
  if (text[p] == ' ' || text[p] == '?') return 1;
  if (text[p] != '&') return 0;
  static constexpr std::array<std::string_view, 6> kEntities = {"&nbsp;", "&#160;", "&#8239;",
                                                                "&#xa0;", "&#xA0;", "&#x202F;"};
  for (std::string_view entity : kEntities) {
    if (text.substr(p).starts_with(entity)) return entity.size();
  }
  if (text.substr(p).starts_with("&#x202f;")) return 8;
  return 0;
}

// Whether exactly three digits start at `p` and no further digit follows them.
bool ThreeDigitGroupAt(std::string_view text, std::size_t p) {
  if (p + 3 > text.size()) return false;
  for (std::size_t k = 0; k < 3; ++k)
    if (!IsDigit(text[p + k])) return false;
  return p + 3 == text.size() || !IsDigit(text[p + 3]);
}

}  // namespace

std::string ReadPriceAmount(std::string_view text, bool commaDecimal) {
  std::size_t p = 0;
  while (p < text.size() && !IsDigit(text[p])) ++p;
  if (p == text.size()) return {};
  // The number: digits, "." and "," between digits, and group separators before a group of
  // three digits.
  std::string number;
  while (p < text.size()) {
    const char c = text[p];
    if (IsDigit(c)) {
      number.push_back(c);
      ++p;
    } else if ((c == '.' || c == ',') && p + 1 < text.size() && IsDigit(text[p + 1])) {
      number.push_back(c);
      ++p;
    } else if (const std::size_t length = GroupSeparatorLength(text, p);
               length > 0 && ThreeDigitGroupAt(text, p + length)) {
      p += length;
    } else {
      break;
    }
  }
  // The decimal sign: with both signs present, the later one; with one sign used once, that
  // sign unless three digits follow it and it is not the marketplace's decimal sign; a sign
  // used more than once groups thousands.
  const std::size_t lastDot = number.rfind('.');
  const std::size_t lastComma = number.rfind(',');
  std::size_t decimal = kNone;
  if (lastDot != kNone && lastComma != kNone) {
    decimal = std::max(lastDot, lastComma);
  } else if (lastDot != kNone || lastComma != kNone) {
    const char sign = lastDot != kNone ? '.' : ',';
    const std::size_t at = lastDot != kNone ? lastDot : lastComma;
    const bool once = std::count(number.begin(), number.end(), sign) == 1;
    const bool threeAfter = number.size() - at - 1 == 3;
    const bool marketplaceSign = (sign == ',') == commaDecimal;
    if (once && (!threeAfter || marketplaceSign)) decimal = at;
  }
  std::string result;
  for (std::size_t i = 0; i < number.size(); ++i) {
    if (i == decimal) {
      result.push_back('.');
    } else if (IsDigit(number[i])) {
      result.push_back(number[i]);
    }
  }
  return result;
}

namespace {

MarkupPrice ReadWithIndex(std::string_view pageText, const IdIndex& ids,
                          const Marketplace& marketplace) {
  const bool commaDecimal = IsCommaDecimal(marketplace);
  MarkupPrice found = FromCorePriceBlocks(pageText, ids, commaDecimal);
  if (found.priceText.empty()) found = FromPriceIds(pageText, ids, commaDecimal);
  if (found.priceText.empty()) found = FromBookOffers(pageText, ids, commaDecimal);
  if (found.priceText.empty()) found = FromMachineData(pageText, ids);
  return found;
}

NoPriceCause ClassifyWithIndex(std::string_view pageText, const IdIndex& ids);

}  // namespace

MarkupPrice ReadTodaysMarkup(std::string_view pageText, const Marketplace& marketplace) {
  return ReadWithIndex(pageText, IdIndex(pageText), marketplace);
}

ProductPageReading ReadProductPage(std::string_view pageText, const Marketplace& marketplace) {
  const IdIndex ids(pageText);
  ProductPageReading reading;
  reading.price = ReadWithIndex(pageText, ids, marketplace);
  if (reading.price.priceText.empty()) reading.cause = ClassifyWithIndex(pageText, ids);
  return reading;
}

NoPriceCause ClassifyPageWithoutPrice(std::string_view pageText) {
  return ClassifyWithIndex(pageText, IdIndex(pageText));
}

namespace {

NoPriceCause ClassifyWithIndex(std::string_view pageText, const IdIndex& ids) {
  if (pageText.find_first_not_of(" \t\r\n\f\v") == kNone) return NoPriceCause::kNoReply;
  for (WholePageMarker marker :
       {kValidateCaptcha, kOpfCaptcha, kTypeCharacters, kEnterCharacters, kContinueShopping}) {
    if (ids.Marker(marker) != kNone) return NoPriceCause::kCaptcha;
  }
  if (ids.Element("outOfStock").begin != kNone) return NoPriceCause::kUnavailable;
  static const std::array<std::string, 6> kUnavailable = {
      "Currently unavailable",     Ansi("Derzeit nicht verfügbar"), Ansi("目前无货"),
      "Actuellement indisponible", Ansi("現在在庫切れです"),        "Attualmente non disponibile"};
  const Span availability = ids.Element("availability");
  if (availability.found()) {
    const std::string text = InnerText(pageText, availability);
    for (const std::string& marker : kUnavailable) {
      if (Find(text, marker) != kNone) return NoPriceCause::kUnavailable;
    }
  }
  return NoPriceCause::kNoPriceOnPage;
}

}  // namespace

}  // namespace korvelin
