#include "monitor/monitor_scheduler.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "common/date_time.h"
#include "common/numbers.h"
#include "monitor/check_threads.h"
#include "monitor/monitor_texts.h"
#include "monitor/price_check.h"

namespace korvelin {

namespace texts = monitor_texts;

MonitorScheduler::MonitorScheduler(std::shared_ptr<MonitorContext> context,
                                   SchedulerControls& controls)
    : context_(std::move(context)), controls_(controls) {}

void MonitorScheduler::StartMonitoring() {
  controls_.SetSweepTimerPeriod(kSweepPeriodMilliseconds);
  context_->MonitoringStopped.store(0);
  controls_.SetStartEnabled(false);
  controls_.SetStopEnabled(true);
  context_->log->Append(NowText() + "\r\n" + context_->settings->Text(Edit::Frequency) +
                        texts::StartSuffix());
  // Read again: the box may have changed while the entry was written.
  const std::int64_t period =
      static_cast<std::int64_t>(TextToInt(context_->settings->Text(Edit::Frequency))) * 1000;
  controls_.SetTickTimerPeriod(period > INT_MAX ? INT_MAX : static_cast<int>(period));
}

void MonitorScheduler::StopMonitoring() {
  controls_.SetSweepTimerPeriod(0);
  context_->ledger->Clear();
  context_->log->Append(NowText() + texts::StopEntryText());
  controls_.SetTickTimerPeriod(0);
  context_->MonitoringStopped.store(1);
  controls_.SetStartEnabled(true);
  controls_.SetStopEnabled(false);
}

void MonitorScheduler::LaunchChecks(const std::shared_ptr<MonitorContext>& context,
                                    const std::vector<RowId>& ids, TickLaunch& launch) {
  for (const RowId id : ids) {
    if (context->MonitoringStopped.load() != 0) break;
    // The count is taken before the thread exists, so the bound holds exactly even while
    // earlier checks end and new ones start.
    RunningCheckToken token = RunningCheckToken::TryTake(context, kMaxRunningChecks);
    if (!token.held()) break;
    // The token travels with the work; it goes down with it when no thread takes it.
    auto held = std::make_shared<RunningCheckToken>(std::move(token));
    if (CheckThreads::Shared().Run(
            [context, id, held] { CheckRow(context, id, std::move(*held)); })) {
      launch.started.fetch_add(1);
    }
  }
  launch.finished.store(true);
}

void MonitorScheduler::MonitoringTick() {
  auto launch = std::make_shared<TickLaunch>();
  lastTick_ = launch;
  std::vector<RowId> ids = context_->products->MonitoredIds();
  if (ids.empty()) {
    launch->finished.store(true);
    return;
  }
  try {
    std::thread([context = context_, ids = std::move(ids), launch]() {
      LaunchChecks(context, ids, *launch);
    }).detach();
  } catch (const std::system_error&) {
    // The ids went down with the thread that could not be made: read them again and start
    // the checks here.
    LaunchChecks(context_, context_->products->MonitoredIds(), *launch);
  }
}

std::optional<int> MonitorScheduler::LastTickStarted() const {
  if (!lastTick_ || !lastTick_->finished.load()) return std::nullopt;
  return lastTick_->started.load();
}

void MonitorScheduler::ShowRunningCount() {
  controls_.SetRunningCountCaption(texts::RunningCountCaption() +
                                   IntToText(context_->RunningCheckCount.load()));
}

}  // namespace korvelin
