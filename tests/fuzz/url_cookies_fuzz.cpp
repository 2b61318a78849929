// Address splitting and the cookie routines. The input is split at its first NUL into two
// texts: an address or header text, and a cookie text. Every routine runs on the raw bytes
// (no crash, no sanitizer report); the properties are checked on code page 936 texts made
// from them, the kind of text a reply gives once the program holds it: SplitUrl gives a
// lower-case host and a path that starts with "/"; merged cookies hold items without
// spaces, none repeated and none deleted.
#include <cstdint>
#include <set>
#include <string>

#include "common/code_page.h"
#include "common/text.h"
#include "fuzz/fuzz_check.h"
#include "net/page_fetcher.h"

namespace {

using namespace korvelin;

void CheckMerged(std::string sent, std::string reply) {
  MergeCookies(sent, reply);
  KORVELIN_FUZZ_CHECK(RemoveSpaces(reply) == reply);
  std::set<std::string> seen;
  for (const std::string& item : SplitText(sent, "; ")) {
    KORVELIN_FUZZ_CHECK(RemoveSpaces(item) == item);
    KORVELIN_FUZZ_CHECK(!item.ends_with("=deleted"));
    KORVELIN_FUZZ_CHECK(seen.insert(item).second);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::Bytes(data, size);
  const std::size_t nul = bytes.find('\0');
  const std::string first(bytes.substr(0, nul));
  const std::string second(nul == std::string_view::npos ? std::string_view()
                                                         : bytes.substr(nul + 1));

  // Raw bytes.
  SplitUrl(first);
  CompleteRequestHeaders(first, second, false);
  ExtractReplyCookies(first);
  std::string sent = first;
  std::string reply = second;
  MergeCookies(sent, reply);

  // Code page 936 texts.
  const std::string address = Utf8ToAnsi(first);
  const std::string other = Utf8ToAnsi(second);
  const SplitAddress split = SplitUrl(address);
  KORVELIN_FUZZ_CHECK(!split.path.empty() && split.path.front() == '/');
  KORVELIN_FUZZ_CHECK(LowerCaseText(split.host) == split.host);
  const std::string headers = CompleteRequestHeaders(address, other, true);
  KORVELIN_FUZZ_CHECK(headers.find("Content-Type:") != std::string::npos);
  CheckMerged(address, other);
  CheckMerged(other, ExtractReplyCookies(address));
  return 0;
}
