#include "monitor/monitor_scheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/code_page.h"
#include "monitor/engine_test_context.h"
#include "support/loopback_page_server.h"

namespace korvelin {
namespace {

using testing::LoopbackPageServer;
using testing::LoopbackSocket;
using testing::MakeTestEngine;
using testing::PricePage;
using testing::TestEngine;
using testing::TestRow;
using testing::WithoutStamp;

// One ordered record of everything the scheduler does to its widgets, the log and the ledger.
using Sequence = testing::TextRecord;

class RecordingControls : public SchedulerControls {
 public:
  explicit RecordingControls(Sequence& sequence) : sequence_(sequence) {}
  void SetTickTimerPeriod(int ms) override { sequence_.Add("tick " + std::to_string(ms)); }
  void SetSweepTimerPeriod(int ms) override { sequence_.Add("sweep " + std::to_string(ms)); }
  void SetStartEnabled(bool on) override { sequence_.Add(on ? "start on" : "start off"); }
  void SetStopEnabled(bool on) override { sequence_.Add(on ? "stop on" : "stop off"); }
  void SetRunningCountCaption(const std::string& caption) override {
    sequence_.Add("caption " + caption);
  }

 private:
  Sequence& sequence_;
};

class SequenceLog : public ActivityLog {
 public:
  explicit SequenceLog(Sequence& sequence) : sequence_(sequence) {}
  void Append(const std::string& entry) override { sequence_.Add("log " + WithoutStamp(entry)); }

 private:
  Sequence& sequence_;
};

// The checks the last tick started, once its launcher has finished; -1 when it never does.
int StartedByLastTick(const MonitorScheduler& scheduler) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < end) {
    if (const std::optional<int> started = scheduler.LastTickStarted()) return *started;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return -1;
}

struct SchedulerRig {
  Sequence sequence;
  RecordingControls controls{sequence};
  TestEngine engine;
  std::unique_ptr<MonitorScheduler> scheduler;

  explicit SchedulerRig(const std::string& hostPort) : engine(MakeTestEngine(hostPort)) {
    engine.context->log = std::make_shared<SequenceLog>(sequence);
    engine.ledger().SetListener(
        [this](const std::string& text) { sequence.Add("ledger " + text); });
    scheduler = std::make_unique<MonitorScheduler>(engine.context, controls);
  }
};

TEST(MonitorScheduler, StartStepsInOrderWithTheFrequencyAsTyped) {
  struct Case {
    const char* typed;
    int period;
  };
  const Case cases[] = {{"5", 5000}, {"0", 0},     {"", 0},         {"-3", -3000},
                        {"abc", 0},  {" 7", 7000}, {"１２", 12000}, {"99999999", INT_MAX}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    SchedulerRig rig("127.0.0.1:1");
    rig.engine.settings().SetText(Edit::Frequency, Ansi(c.typed));
    rig.engine.context->MonitoringStopped = 1;
    rig.engine.ledger().SetText("kept_报警|1\r\n");
    const std::size_t before = rig.sequence.Items().size();

    rig.scheduler->StartMonitoring();

    std::vector<std::string> steps = rig.sequence.Items();
    steps.erase(steps.begin(), steps.begin() + before);
    const std::vector<std::string> expected = {
        "sweep 4000", "start off", "stop on",
        "log \r\n" + Ansi(c.typed) + Ansi("秒后进行监控~\r\n"), "tick " + std::to_string(c.period)};
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(rig.engine.context->MonitoringStopped.load(), 0);
    EXPECT_EQ(rig.engine.ledger().Text(), "kept_报警|1\r\n");  // not cleared on start
  }
}

TEST(MonitorScheduler, StopStepsInOrder) {
  SchedulerRig rig("127.0.0.1:1");
  rig.scheduler->StartMonitoring();
  rig.engine.ledger().Add(Ansi("奶粉_报警|"));
  const std::size_t before = rig.sequence.Items().size();

  rig.scheduler->StopMonitoring();

  std::vector<std::string> steps = rig.sequence.Items();
  steps.erase(steps.begin(), steps.begin() + before);
  const std::vector<std::string> expected = {
      "sweep 0", "ledger ",  "log " + Ansi("监控停止\r\n仍有线程在工作中，整等待停止...\r\n"),
      "tick 0",  "start on", "stop off"};
  EXPECT_EQ(steps, expected);
  EXPECT_EQ(rig.engine.context->MonitoringStopped.load(), 1);
  EXPECT_EQ(rig.engine.ledger().Text(), "");
}

TEST(MonitorScheduler, ShowRunningCountCaption) {
  SchedulerRig rig("127.0.0.1:1");
  rig.scheduler->ShowRunningCount();
  rig.engine.context->RunningCheckCount = 12;
  rig.scheduler->ShowRunningCount();
  rig.engine.context->RunningCheckCount = 0;
  const std::vector<std::string> expected = {"caption " + Ansi("当前监控数：0"),
                                             "caption " + Ansi("当前监控数：12")};
  EXPECT_EQ(rig.sequence.Items(), expected);
}

TEST(MonitorSchedulerThreaded, TickChecksEveryTickedRowOnItsOwnThread) {
  LoopbackPageServer server([](const std::string& path) {
    return PricePage("EUR " + path.substr(path.rfind('/') + 1) + ",00");
  });
  TestEngine engine = MakeTestEngine(server.HostPort());
  Sequence sequence;
  RecordingControls controls(sequence);
  MonitorScheduler scheduler(engine.context, controls);
  const RowId a = engine.products().Append(TestRow("一", "11", "5", "德国", true));
  const RowId b = engine.products().Append(TestRow("二", "22", "5", "德国", false));
  const RowId c = engine.products().Append(TestRow("三", "33", "5", "德国", true));

  scheduler.MonitoringTick();
  EXPECT_EQ(StartedByLastTick(scheduler), 2);
  ASSERT_TRUE(engine.WaitUntilIdle());

  EXPECT_EQ(engine.products().RowById(a)->currentPrice, "11.00");
  EXPECT_EQ(engine.products().RowById(b)->currentPrice, "");
  EXPECT_EQ(engine.products().RowById(c)->currentPrice, "33.00");
  EXPECT_EQ(engine.log->Entries().size(), 2u);

  // No ticked rows: the tick starts nothing.
  engine.products().SetAllMonitored(false);
  scheduler.MonitoringTick();
  EXPECT_EQ(StartedByLastTick(scheduler), 0);
  EXPECT_EQ(engine.context->RunningCheckCount.load(), 0);
}

TEST(MonitorSchedulerThreaded, NoCheckStartsAfterAStop) {
  LoopbackPageServer server([](const std::string&) { return PricePage("EUR 1,00"); });
  TestEngine engine = MakeTestEngine(server.HostPort());
  Sequence sequence;
  RecordingControls controls(sequence);
  MonitorScheduler scheduler(engine.context, controls);
  for (int i = 0; i < 50; ++i) engine.products().Append(TestRow("产品", "1", "5", "德国"));
  scheduler.StopMonitoring();
  scheduler.MonitoringTick();  // a tick already queued when the stop came
  EXPECT_EQ(StartedByLastTick(scheduler), 0);
  EXPECT_TRUE(server.Paths().empty());
}

TEST(MonitorSchedulerThreaded, AtMost256ChecksRunAtOnce) {
  // A listener that never accepts: every check hangs in its fetch until the listener closes,
  // which resets the waiting connections (the time-out ends them in any case).
  LoopbackSocket hanging;
  hanging.Listen(1024);
  TestEngine engine = MakeTestEngine(hanging.HostPort());
  engine.settings().SetTicked(Tick::Timeout, true);
  engine.settings().SetText(Edit::Timeout, "20");
  Sequence sequence;
  RecordingControls controls(sequence);
  MonitorScheduler scheduler(engine.context, controls);
  for (int i = 0; i < 300; ++i) {
    engine.products().Append(TestRow("产品", std::to_string(i).c_str(), "5", "德国"));
  }

  scheduler.MonitoringTick();
  EXPECT_EQ(StartedByLastTick(scheduler), MonitorScheduler::kMaxRunningChecks);
  EXPECT_EQ(engine.context->RunningCheckCount.load(), MonitorScheduler::kMaxRunningChecks);
  scheduler.MonitoringTick();
  EXPECT_EQ(StartedByLastTick(scheduler), 0);

  hanging.Close();
  ASSERT_TRUE(engine.WaitUntilIdle(std::chrono::seconds(60)));
  // Every started check logged its three entries (no price: the connection was reset, the
  // product page refused; then the cause), and each of the two ticks one bound entry with
  // the rows it left.
  const std::size_t expectedEntries = 3u * MonitorScheduler::kMaxRunningChecks + 2u;
  engine.log->WaitForEntries(expectedEntries, std::chrono::seconds(10));
  const std::vector<std::string> entries = engine.log->Entries();
  EXPECT_EQ(entries.size(), expectedEntries);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), std::string()), 0);
  std::vector<std::string> boundEntries;
  for (const std::string& entry : entries) {
    if (entry.find(Ansi("上限")) != std::string::npos) boundEntries.push_back(WithoutStamp(entry));
  }
  const std::vector<std::string> expectedBound = {
      Ansi("\r\n当前监控数已达上限256，还有44个产品留到下次检查\r\n\r\n"),
      Ansi("\r\n当前监控数已达上限256，还有300个产品留到下次检查\r\n\r\n")};
  EXPECT_EQ(boundEntries, expectedBound);

  // With the checks over, a new tick starts checks again (the port now refuses at once, so
  // checks may end while the tick still runs and all 300 rows may get one).
  scheduler.MonitoringTick();
  EXPECT_GE(StartedByLastTick(scheduler), MonitorScheduler::kMaxRunningChecks);
  ASSERT_TRUE(engine.WaitUntilIdle(std::chrono::seconds(60)));
}

// With the bound full, the rows after it are not starved: the next tick begins with the first
// row the last one left, goes on to the end and round to the rows before it; a row that went
// away in between hands its turn to the next ticked row.
TEST(MonitorSchedulerThreaded, ATickGoesOnWhereTheBoundStoppedTheLastOne) {
  LoopbackPageServer server([](const std::string&) { return PricePage("EUR 1,00"); });
  server.Hold();
  TestEngine engine = MakeTestEngine(server.HostPort());
  Sequence sequence;
  RecordingControls controls(sequence);
  MonitorScheduler scheduler(engine.context, controls);
  constexpr int kRows = 300;
  constexpr int kBound = MonitorScheduler::kMaxRunningChecks;
  for (int i = 0; i < kRows; ++i) {
    engine.products().Append(TestRow("产品", std::to_string(i).c_str(), "0", "德国"));
  }
  // Codes of the requests that arrived from index `from` on, in arrival order of the ticks.
  const auto codesFrom = [&](std::size_t from) {
    std::vector<int> codes;
    const std::vector<std::string> paths = server.Paths();
    for (std::size_t i = from; i < paths.size(); ++i) {
      codes.push_back(std::stoi(paths[i].substr(paths[i].rfind('/') + 1)));
    }
    std::sort(codes.begin(), codes.end());
    return codes;
  };
  const auto range = [](int first, int last) {  // first..last inclusive, sorted
    std::vector<int> codes;
    for (int i = first; i <= last; ++i) codes.push_back(i);
    return codes;
  };
  const auto runTick = [&](std::size_t requestsBefore) {
    scheduler.MonitoringTick();
    EXPECT_EQ(StartedByLastTick(scheduler), kBound);
    EXPECT_TRUE(server.WaitForRequests(requestsBefore + kBound, std::chrono::seconds(30)));
    server.Release();
    EXPECT_TRUE(engine.WaitUntilIdle(std::chrono::seconds(60)));
    server.Hold();
  };

  runTick(0);
  EXPECT_EQ(codesFrom(0), range(0, 255));

  // Rows 256..299, then round to 0..211.
  runTick(kBound);
  std::vector<int> expected = range(0, 211);
  for (int code : range(256, 299)) expected.push_back(code);
  EXPECT_EQ(codesFrom(kBound), expected);

  // The row to begin with (212) is gone: the tick begins with 213 and ends with 168.
  ASSERT_TRUE(engine.products().RemoveAt(212));
  runTick(2 * kBound);
  expected = range(0, 168);
  for (int code : range(213, 299)) expected.push_back(code);
  EXPECT_EQ(codesFrom(2 * kBound), expected);
  server.Release();
}

}  // namespace
}  // namespace korvelin
