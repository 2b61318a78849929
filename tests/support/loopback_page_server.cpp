#include "support/loopback_page_server.h"

#include <utility>

#include "support/http_request.h"

namespace korvelin::testing {

LoopbackPageServer::LoopbackPageServer(Handler handler) : handler_(std::move(handler)) {
  server_ = std::make_unique<LoopbackServer>([this](Connection& c) { Serve(c); });
}

LoopbackPageServer::~LoopbackPageServer() {
  stopping_ = true;
  Release();
  server_->Stop();
}

void LoopbackPageServer::SetHandler(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

void LoopbackPageServer::Hold() {
  std::lock_guard lock(mutex_);
  held_ = true;
}

void LoopbackPageServer::Release() {
  {
    std::lock_guard lock(mutex_);
    held_ = false;
  }
  changed_.notify_all();
}

bool LoopbackPageServer::WaitForRequests(std::size_t count, std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return paths_.size() >= count; });
}

std::vector<std::string> LoopbackPageServer::Paths() const {
  std::lock_guard lock(mutex_);
  return paths_;
}

void LoopbackPageServer::Serve(Connection& c) {
  HttpRequest request;
  if (!ReadHttpRequest(c, request)) return;
  Handler handler;
  {
    std::unique_lock lock(mutex_);
    paths_.push_back(request.Path());
    changed_.notify_all();
    changed_.wait(lock, [&] { return !held_ || stopping_; });
    handler = handler_;
  }
  const std::string body = handler ? handler(request.Path()) : std::string();
  c.Write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
          std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
  c.Close();
}

}  // namespace korvelin::testing
