#include "support/http_request.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace korvelin::testing {
namespace {

std::string Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return std::string(s);
}

std::string StripLineEnd(std::string line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  return out;
}

std::string HttpRequest::Method() const { return requestLine.substr(0, requestLine.find(' ')); }

std::string HttpRequest::Path() const {
  const std::size_t space1 = requestLine.find(' ');
  if (space1 == std::string::npos) return "/";
  const std::size_t space2 = requestLine.find(' ', space1 + 1);
  return requestLine.substr(space1 + 1, space2 == std::string::npos ? space2 : space2 - space1 - 1);
}

std::string HttpRequest::Header(std::string_view name) const {
  return HeaderValue(headerBlock, name);
}

std::string HeaderValue(std::string_view headerBlock, std::string_view name) {
  const std::string wanted = LowerAscii(name);
  std::size_t pos = 0;
  while (pos < headerBlock.size()) {
    std::size_t end = headerBlock.find('\n', pos);
    if (end == std::string::npos) end = headerBlock.size();
    std::string_view line(headerBlock.data() + pos, end - pos);
    std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && LowerAscii(Trim(line.substr(0, colon))) == wanted)
      return Trim(line.substr(colon + 1));
    pos = end + 1;
  }
  return {};
}

bool ReadHttpRequest(Connection& c, HttpRequest& request, int firstLineTimeoutMs) {
  // The head: request line (empty lines before it are skipped), header lines, empty line.
  std::string line;
  do {
    if (!c.ReadRawLine(line, firstLineTimeoutMs)) return false;
  } while (line == "\r\n" || line == "\n");
  request.requestLine = StripLineEnd(line);
  request.headerBlock.clear();
  request.body.clear();
  for (;;) {
    if (!c.ReadRawLine(line)) return false;
    if (line == "\r\n" || line == "\n") break;
    request.headerBlock += line;
  }
  if (LowerAscii(request.Header("Expect")) == "100-continue") {
    c.Write("HTTP/1.1 100 Continue\r\n\r\n");
  }

  // The body: Content-Length or chunked.
  const std::string length = request.Header("Content-Length");
  if (!length.empty()) {
    return c.ReadExact(std::strtoul(length.c_str(), nullptr, 10), request.body);
  }
  if (LowerAscii(request.Header("Transfer-Encoding")).find("chunked") != std::string::npos) {
    for (;;) {
      if (!c.ReadLine(line)) return false;
      std::size_t size = std::strtoul(line.c_str(), nullptr, 16);
      if (size == 0) {
        while (c.ReadLine(line) && !line.empty()) {
        }
        break;
      }
      std::string chunk;
      if (!c.ReadExact(size, chunk) || !c.ReadLine(line)) return false;
      request.body += chunk;
    }
  }
  return true;
}

}  // namespace korvelin::testing
