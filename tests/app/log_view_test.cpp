// The activity log box: entries are appended whole, byte for byte, at the end, from any
// thread; the caret and the view follow the newest entry.
#include "app/log_view.h"

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <thread>
#include <vector>

#include "app/qt_ports.h"
#include "app/text_convert.h"
#include "app/ui_bridge.h"
#include "common/code_page.h"

namespace korvelin {
namespace {

TEST(LogViewTest, AppendsExactlyTheGivenBytesAtTheEnd) {
  LogView view;
  view.resize(312, 433);
  view.show();
  const std::string first =
      "2026-12-11 10:00:00" + Ansi("\r\n爱他美1 - 价格：54.99 ---- 耗时:120\r\n\r\n");
  const std::string second =
      "2026-12-11 10:00:01" + Ansi("监控停止\r\n仍有线程在工作中，整等待停止...\r\n");
  const std::string third = "1765418400000{\"success\":true}";  // no line break of its own
  view.Append(first);
  view.Append(second);
  view.Append(third);
  view.Append("x");
  EXPECT_EQ(view.Text(), first + second + third + "x");
  EXPECT_EQ(view.ByteCount(), (first + second + third + "x").size());
  EXPECT_TRUE(view.CaretAtEnd());
  EXPECT_EQ(view.LineCount(), 6);  // five line feeds; the last line is the open one
  view.SelectAll();
  EXPECT_EQ(ToAnsi(view.SelectedText()), first + second + third + "x");
}

TEST(LogViewTest, ScrollsTheNewestEntryIntoView) {
  LogView view;
  view.resize(312, 433);
  view.show();
  for (int i = 0; i < 500; ++i) view.Append("entry " + std::to_string(i) + "\r\n");
  QScrollBar* bar = view.verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  bar->setValue(0);  // the user scrolls up; the next entry brings the end back
  view.Append("last\r\n");
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_TRUE(view.CaretAtEnd());
}

TEST(LogViewTest, WrapsLongLinesAtTheBoxWidthWithoutChangingTheText) {
  LogView view;
  view.resize(312, 433);
  std::string reply = "1765418400000";
  for (int i = 0; i < 20; ++i) reply += Ansi("短信发送成功，余额不足请充值。");
  reply += "\r\n";
  view.Append(reply);
  EXPECT_GT(view.LineCount(), 5);  // one line, several rows
  EXPECT_EQ(view.Text(), reply);
  EXPECT_TRUE(view.CaretAtEnd());
  view.Append("next\r\n");
  EXPECT_EQ(view.Text(), reply + "next\r\n");
  view.SelectAll();
  EXPECT_EQ(ToAnsi(view.SelectedText()), reply + "next\r\n");
  EXPECT_EQ(view.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(LogViewTest, KeepsLongTextsAcrossItsStorageChunks) {
  LogView view;
  std::string expected;
  const std::string line(300000, 'a');
  for (int i = 0; i < 8; ++i) {
    // Entries that do not end their line, so an open line moves between chunks.
    const std::string piece = line + (i % 2 ? "\r\n" : "") + Ansi("价");
    view.Append(piece);
    expected += piece;
  }
  const std::string huge(3u << 20, 'b');  // larger than one chunk
  view.Append(huge);
  expected += huge;
  EXPECT_EQ(view.Text(), expected);
  EXPECT_TRUE(view.CaretAtEnd());
}

TEST(LogViewTest, EntriesFromWorkerThreadsArriveWholeAndInTheirThreadsOrder) {
  LogView view;
  view.resize(312, 433);
  auto bridge = std::make_shared<UiBridge>(&view);
  QtActivityLog log(bridge, &view);
  constexpr int kThreads = 4;
  constexpr int kEntries = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&log, t] {
      for (int i = 0; i < kEntries; ++i) {
        log.Append("T" + std::to_string(t) + ":" + std::to_string(i) + Ansi(" - 降价了！\r\n\r\n"));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const std::size_t entryBytes = Ansi(" - 降价了！\r\n\r\n").size();
  const std::size_t total = [&] {
    std::size_t bytes = 0;
    for (int t = 0; t < kThreads; ++t) {
      for (int i = 0; i < kEntries; ++i)
        bytes += ("T" + std::to_string(t) + ":" + std::to_string(i)).size() + entryBytes;
    }
    return bytes;
  }();
  EXPECT_TRUE(QTest::qWaitFor([&] { return view.ByteCount() == total; }, 10000));
  const std::string text = view.Text();
  std::vector<int> next(kThreads, 0);
  std::size_t at = 0;
  while (at < text.size()) {
    ASSERT_EQ(text[at], 'T');
    const int thread = text[at + 1] - '0';
    const std::string head = "T" + std::to_string(thread) + ":" + std::to_string(next[thread]);
    ASSERT_EQ(text.compare(at, head.size(), head), 0) << at;
    ASSERT_EQ(text.compare(at + head.size(), entryBytes, Ansi(" - 降价了！\r\n\r\n")), 0);
    at += head.size() + entryBytes;
    ++next[thread];
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[t], kEntries);
  EXPECT_TRUE(view.CaretAtEnd());
}

}  // namespace
}  // namespace korvelin
