// One HTTP/1.1 request as the loopback fake servers read it, and the reader they share.
#pragma once

#include <string>
#include <string_view>

#include "support/loopback_server.h"

namespace korvelin::testing {

struct HttpRequest {
  std::string requestLine;  // "GET /path HTTP/1.1", without CRLF
  std::string headerBlock;  // the header lines exactly as received, each with its CRLF,
                            // without the empty line that ends the head
  std::string body;
  bool tls = false;
  std::string Method() const;
  // The request target; "/" when the request line has none.
  std::string Path() const;
  // The value of the first header with this name (letter case ignored), trimmed; empty
  // when there is none.
  std::string Header(std::string_view name) const;
};

// Reads one request from the connection: empty lines before the request line are skipped
// (waiting at most `firstLineTimeoutMs` for it), then the header lines, then a body of
// Content-Length bytes or a chunked body. A client that expects "100-continue" gets it
// before the body is read. False when the connection ends or stalls first.
bool ReadHttpRequest(Connection& c, HttpRequest& request, int firstLineTimeoutMs = 30000);

// The value of the first header line in the block with this name (letter case ignored),
// trimmed; empty when there is none.
std::string HeaderValue(std::string_view headerBlock, std::string_view name);

// Letter case folded to lower case (ASCII).
std::string LowerAscii(std::string_view text);

}  // namespace korvelin::testing
