// One libcurl transfer's resources under one owner: the easy handle and everything the
// handle points to while it runs (header and recipient lists, a MIME form). The handle is
// cleaned up first, then what it pointed to, so nothing it may still read is freed early.
#pragma once

#include <curl/curl.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace korvelin {

class CurlRequest {
 public:
  CurlRequest() : easy_(curl_easy_init()) {}
  CurlRequest(const CurlRequest&) = delete;
  CurlRequest& operator=(const CurlRequest&) = delete;
  CurlRequest(CurlRequest&&) = default;
  CurlRequest& operator=(CurlRequest&&) = default;

  // False when libcurl could not make a handle.
  explicit operator bool() const { return easy_ != nullptr; }
  CURL* get() const { return easy_.get(); }

  // A list of the lines, kept as long as the request; a line that cannot be appended is
  // left out. Null when no line could be appended.
  template <typename Lines>
  curl_slist* AddList(const Lines& lines) {
    List list;
    for (const std::string& line : lines) {
      curl_slist* grown = curl_slist_append(list.get(), line.c_str());
      if (grown == nullptr) continue;
      list.release();
      list.reset(grown);
    }
    curl_slist* head = list.get();
    if (head != nullptr) lists_.push_back(std::move(list));
    return head;
  }
  curl_slist* AddList(std::initializer_list<std::string> lines) {
    return AddList<std::initializer_list<std::string>>(lines);
  }

  // The request's MIME form, made on first use; null when there is no handle or no memory.
  curl_mime* Mime() {
    if (!mime_ && easy_) mime_.reset(curl_mime_init(easy_.get()));
    return mime_.get();
  }

 private:
  struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
  };
  struct MimeDeleter {
    void operator()(curl_mime* mime) const { curl_mime_free(mime); }
  };
  struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
  };
  using List = std::unique_ptr<curl_slist, ListDeleter>;

  // Members are destroyed in reverse order: the handle first.
  std::vector<List> lists_;
  std::unique_ptr<curl_mime, MimeDeleter> mime_;
  std::unique_ptr<CURL, EasyDeleter> easy_;
};

}  // namespace korvelin
