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
  resume_->store(0);  // a new run begins with the first row
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

namespace {

// Where a tick begins in its ticked rows: at the row the last tick left off at or, when that
// row is gone or no longer ticked, at the first ticked row after it. Row ids grow in row
// order (rows are only ever appended, and a replaced list gets new, larger ids), so "after
// it" is "with a larger id". From the start when no row was left or none comes after it.
std::size_t FirstToStart(const std::vector<RowId>& ids, RowId resume) {
  if (resume == 0) return 0;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (ids[i] >= resume) return i;
  }
  return 0;
}

}  // namespace

void MonitorScheduler::LaunchChecks(const std::shared_ptr<MonitorContext>& context,
                                    const std::vector<RowId>& ids, TickLaunch& launch,
                                    ResumePoint& resume) {
  const std::size_t first = FirstToStart(ids, resume.load());
  RowId left = 0;
  std::size_t leftCount = 0;
  for (std::size_t k = 0; k < ids.size(); ++k) {
    if (context->MonitoringStopped.load() != 0) break;
    const RowId id = ids[(first + k) % ids.size()];
    // The count is taken before the thread exists, so the bound holds exactly even while
    // earlier checks end and new ones start.
    RunningCheckToken token = RunningCheckToken::TryTake(context, kMaxRunningChecks);
    if (!token.held()) {
      left = id;
      leftCount = ids.size() - k;
      break;
    }
    // The token travels with the work; it goes down with it when no thread takes it.
    auto held = std::make_shared<RunningCheckToken>(std::move(token));
    if (CheckThreads::Shared().Run(
            [context, id, held] { CheckRow(context, id, std::move(*held)); })) {
      launch.started.fetch_add(1);
    }
  }
  if (context->MonitoringStopped.load() == 0) resume.store(left);
  if (leftCount != 0) {
    context->log->Append(NowText() + "\r\n" + texts::BoundReachedPrefix() +
                         IntToText(kMaxRunningChecks) + texts::BoundReachedMiddle() +
                         IntToText(static_cast<std::int64_t>(leftCount)) +
                         texts::BoundReachedSuffix());
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
    std::thread([context = context_, ids = std::move(ids), launch, resume = resume_]() {
      LaunchChecks(context, ids, *launch, *resume);
    }).detach();
  } catch (const std::system_error&) {
    // The ids went down with the thread that could not be made: read them again and start
    // the checks here.
    LaunchChecks(context_, context_->products->MonitoredIds(), *launch, *resume_);
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
