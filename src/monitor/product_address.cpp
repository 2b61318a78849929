#include "monitor/product_address.h"

#include <array>
#include <cctype>

namespace korvelin {

namespace {

std::string Lower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

// "www.amazon.de" from "http://www.amazon.de/product-reviews/".
std::string_view HostOf(std::string_view prefix) {
  if (const std::size_t scheme = prefix.find("://"); scheme != std::string_view::npos) {
    prefix.remove_prefix(scheme + 3);
  }
  return prefix.substr(0, prefix.find('/'));
}

std::string_view WithoutWww(std::string_view host) {
  if (host.substr(0, 4) == "www.") host.remove_prefix(4);
  return host;
}

bool IsCodeCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::optional<ProductAddress> ParseProductAddress(std::string_view text,
                                                  const MarketplaceTable& table) {
  std::string address = Lower(text);
  std::string_view rest = address;
  for (std::string_view scheme : {"https://", "http://"}) {
    if (rest.substr(0, scheme.size()) == scheme) {
      rest.remove_prefix(scheme.size());
      break;
    }
  }
  const std::size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  std::string_view host = rest.substr(0, slash);
  if (const std::size_t port = host.find(':'); port != std::string_view::npos) {
    host = host.substr(0, port);
  }
  const std::string_view path = rest.substr(slash);

  const Marketplace* market = nullptr;
  for (const Marketplace& record : table.Records()) {
    if (WithoutWww(host) == WithoutWww(HostOf(record.ReviewsUrlPrefix))) {
      market = &record;
      break;
    }
  }
  if (market == nullptr) return std::nullopt;

  constexpr std::array<std::string_view, 4> kMarkers = {"/dp/", "/gp/product/", "/gp/aw/d/",
                                                        "/product-reviews/"};
  for (std::string_view marker : kMarkers) {
    const std::size_t at = path.find(marker);
    if (at == std::string_view::npos) continue;
    const std::size_t begin = at + marker.size();
    std::size_t end = begin;
    while (end < path.size() && IsCodeCharacter(path[end])) ++end;
    if (end == begin) continue;
    if (end < path.size() && path[end] != '/' && path[end] != '?' && path[end] != '#') continue;
    // The code keeps the letters as they were written (the address was lowered only to
    // find the parts).
    const std::size_t offset = static_cast<std::size_t>(path.data() - address.data());
    return ProductAddress{std::string(text.substr(offset + begin, end - begin)),
                          market->CountryName};
  }
  return std::nullopt;
}

}  // namespace korvelin
