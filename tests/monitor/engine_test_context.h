// A monitoring context for the engine tests: real settings, product list, ledger and
// marketplace table (every marketplace pointed at one loopback host), in-memory log and
// desktop, no SMS or mail notifier.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>

#include "common/code_page.h"
#include "monitor/monitor_context.h"
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

inline TestEngine MakeTestEngine(const std::string& hostPort) {
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
  for (const char* country :
       {"中国", "德国", "日本", "美国", "加拿大", "英国", "法国", "意大利", "荷兰"}) {
    hosts[country] = hostPort;
  }
  context->marketplaces = std::make_shared<const MarketplaceTable>(hosts);
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

// The entry without its leading date-time stamp; fails the test when the entry does not start
// with a stamp of the form 2014年11月17日13时5分9秒.
inline std::string WithoutStamp(const std::string& entry) {
  static const std::string second = Ansi("秒");
  static const std::regex stamp(
      "^[0-9]{4}年[0-9]{1,2}月[0-9]{1,2}日[0-9]{1,2}时[0-9]{1,2}分[0-9]{1,2}秒$");
  const std::size_t end = entry.find(second);
  if (end == std::string::npos) {
    ADD_FAILURE() << "no date-time stamp in: " << AnsiToUtf8(entry);
    return entry;
  }
  const std::string head = entry.substr(0, end + second.size());
  EXPECT_TRUE(std::regex_match(AnsiToUtf8(head), stamp)) << AnsiToUtf8(head);
  return entry.substr(end + second.size());
}

}  // namespace korvelin::testing
