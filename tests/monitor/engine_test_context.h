// A monitoring context for the engine tests: real settings, product list, ledger and
// marketplace table (every marketplace pointed at one loopback host), in-memory log and
// desktop, no SMS or mail notifier.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "common/code_page.h"
#include "monitor/monitor_context.h"
#include "support/log_stamp.h"
#include "support/recording_ports.h"

namespace korvelin::testing {

struct TestEngine {
  std::shared_ptr<MonitorContext> context;
  std::shared_ptr<MemoryLog> log;
  std::shared_ptr<RecordingDesktop> desktop;

  ProductList& products() const { return *context->products; }
  Settings& settings() const { return *context->settings; }
  AlertLedger& ledger() const { return *context->ledger; }
  const Marketplace& marketplace(const char* countryUtf8) const {
    return context->marketplaces->MarketplaceFor(Ansi(countryUtf8));
  }
  // Waits until no check runs any more.
  bool WaitUntilIdle(std::chrono::milliseconds limit = std::chrono::seconds(30)) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (context->RunningCheckCount.load() != 0) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
};

// Every marketplace at hostPort; with tlsHostPort, the product page of today is fetched over
// TLS from there (else over plain HTTP from hostPort).
inline TestEngine MakeTestEngine(const std::string& hostPort, const std::string& tlsHostPort = {}) {
  TestEngine engine;
  engine.log = std::make_shared<MemoryLog>();
  engine.desktop = std::make_shared<RecordingDesktop>();
  auto context = std::make_shared<MonitorContext>();
  context->settings = std::make_shared<Settings>();
  context->settings->SetTicked(Tick::Sound, false);  // tests that want the alarm tick it
  context->log = engine.log;
  context->products = std::make_shared<ProductList>();
  context->ledger = std::make_shared<AlertLedger>();
  context->desktop = engine.desktop;
  std::map<std::string, std::string> hosts;
  TlsHostOverride tlsHosts;
  for (const char* country :
       {"中国", "德国", "日本", "美国", "加拿大", "英国", "法国", "意大利", "荷兰"}) {
    hosts[country] = hostPort;
    if (!tlsHostPort.empty()) tlsHosts.hosts[country] = tlsHostPort;
  }
  context->marketplaces = std::make_shared<const MarketplaceTable>(hosts, tlsHosts);
  engine.context = context;
  return engine;
}

// A row from UTF-8 texts.
inline ProductEntry TestRow(const char* name, const char* code, const char* target,
                            const char* country, bool monitored = true) {
  ProductEntry entry;
  entry.name = Ansi(name);
  entry.code = code;
  entry.targetPrice = target;
  entry.country = Ansi(country);
  entry.monitored = monitored;
  return entry;
}

// A reviews page whose price stands after the given marker (UTF-8).
inline std::string PricePage(const std::string& markerAndPrice) {
  return "<html><body><div>reviews</div><span class=\"price\">" + markerAndPrice +
         "</span><span class=\"price\">EUR 1,00</span></body></html>";
}

// The entry without its leading date-time stamp; fails the test when it has none.
inline std::string WithoutStamp(const std::string& entry) {
  const std::optional<std::string> rest = TextAfterStamp(entry);
  if (!rest) {
    ADD_FAILURE() << "no date-time stamp in: " << AnsiToUtf8(entry);
    return entry;
  }
  return *rest;
}

}  // namespace korvelin::testing
