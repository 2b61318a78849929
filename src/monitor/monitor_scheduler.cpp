#include "monitor/monitor_scheduler.h"

#include <climits>
#include <cstdint>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "common/date_time.h"
#include "common/numbers.h"
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

void MonitorScheduler::MonitoringTick() {
  lastTickStarted_ = 0;
  const std::vector<RowId> ids = context_->products->MonitoredIds();
  for (const RowId id : ids) {
    // The count is taken before the thread exists, so the bound holds exactly even while
    // earlier checks end and new ones start.
    RunningCheckToken token = RunningCheckToken::TryTake(context_, kMaxRunningChecks);
    if (!token.held()) break;
    try {
      std::thread([context = context_, id, token = std::move(token)]() mutable {
        CheckRow(context, id, std::move(token));
      }).detach();
      ++lastTickStarted_;
    } catch (const std::system_error&) {
      // No thread for this row on this tick; the token went down with the failed start.
    }
  }
}

void MonitorScheduler::ShowRunningCount() {
  controls_.SetRunningCountCaption(texts::RunningCountCaption() +
                                   IntToText(context_->RunningCheckCount.load()));
}

}  // namespace korvelin
