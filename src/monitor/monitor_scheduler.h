// The monitoring scheduler: starts and stops monitoring and, on every tick, starts one check
// thread per ticked product row. All four handlers run on the UI thread.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "monitor/monitor_context.h"

namespace korvelin {

// The scheduler's widgets, implemented by the app on the UI thread (tests record the calls).
//
// Timer rule the scheduler relies on, for both timers: a period of 0 or less stops the timer;
// a positive period different from the current one stops it and starts it anew, so its first
// firing comes one full period later; setting the period it already has changes nothing (a
// running timer keeps its phase). On QTimer:
//   if (ms <= 0) timer.stop();
//   else if (!timer.isActive() || timer.interval() != ms) timer.start(ms);
class SchedulerControls {
 public:
  virtual ~SchedulerControls() = default;
  // 时钟开始监控, the monitoring tick: its firing calls MonitorScheduler::MonitoringTick.
  virtual void SetTickTimerPeriod(int milliseconds) = 0;
  // 时钟通知状态, the ledger sweep: its firing calls AlertLedger::Sweep on the context's ledger.
  virtual void SetSweepTimerPeriod(int milliseconds) = 0;
  virtual void SetStartEnabled(bool enabled) = 0;  // 按钮开始监控
  virtual void SetStopEnabled(bool enabled) = 0;   // 按钮停止监控
  // 标签当前监控数; code page 936 text.
  virtual void SetRunningCountCaption(const std::string& caption) = 0;
};

class MonitorScheduler {
 public:
  // At most this many checks run at once. A tick that reaches the bound starts no further
  // check, logs one bound entry, and the next tick begins with the first ticked row it did
  // not start (going on round the list to the rows before it), so every ticked row gets its
  // turn even while the bound stays full.
  static constexpr int kMaxRunningChecks = 256;
  static constexpr int kSweepPeriodMilliseconds = 4000;

  // The app keeps `controls` alive as long as the scheduler. The app's own timer 时钟准备停止
  // (1000 ms, running from the moment the main window exists) calls ShowRunningCount.
  MonitorScheduler(std::shared_ptr<MonitorContext> context, SchedulerControls& controls);

  // 按钮开始监控 clicked: sweep timer 4000 ms, MonitoringStopped 0, start off / stop on, the
  // start entry (T "\r\n" frequency text as typed "秒后进行监控~\r\n"), then the tick timer to
  // TextToInt(编辑框频率) x 1000 ms (0 or less stops it; a huge value is held at INT_MAX).
  void StartMonitoring();
  // 按钮停止监控 clicked: sweep timer off, ledger emptied, the stop entry, tick timer off,
  // MonitoringStopped 1, start on / stop off. Running checks are not waited for.
  void StopMonitoring();
  // 时钟开始监控 fired: the ticked rows are read once, then one detached check thread per row in
  // row order (from the row the last tick left off at, round the list), while fewer than
  // kMaxRunningChecks checks run. Starting a thread costs tens to
  // hundreds of microseconds, too much to do a thousand times on the UI thread, so the tick
  // hands the row ids to one detached launcher thread that starts the checks and returns at
  // once. The launcher stops starting checks when monitoring is stopped meanwhile. When no
  // launcher thread can be made, the tick starts the checks itself.
  void MonitoringTick();
  // 时钟准备停止 fired: the caption "当前监控数：" + RunningCheckCount.
  void ShowRunningCount();

  // The number of checks the last MonitoringTick started, once its launcher has finished;
  // nullopt while it is still starting checks (or before the first tick).
  std::optional<int> LastTickStarted() const;

 private:
  // What one tick's launcher has done; shared with the launcher thread.
  struct TickLaunch {
    std::atomic<int> started{0};
    std::atomic<bool> finished{false};
  };
  // The first ticked row the last tick left for the next one; 0 when it started them all.
  // Shared with the launcher threads.
  using ResumePoint = std::atomic<RowId>;
  static void LaunchChecks(const std::shared_ptr<MonitorContext>& context,
                           const std::vector<RowId>& ids, TickLaunch& launch, ResumePoint& resume);

  std::shared_ptr<MonitorContext> context_;
  SchedulerControls& controls_;
  std::shared_ptr<TickLaunch> lastTick_;
  std::shared_ptr<ResumePoint> resume_ = std::make_shared<ResumePoint>(0);
};

}  // namespace korvelin
