// One program per list: the lock, the hand-over to the running program, stale locks.
#include "app/single_instance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <thread>

namespace korvelin {
namespace {

// Runs `claim` on a thread of its own (a second program needs the first one's event loop
// to answer) while this thread processes events; gives its result.
bool ClaimElsewhere(SingleInstance& second) {
  std::atomic<int> result{-1};
  std::thread thread([&] { result = second.Claim() ? 1 : 0; });
  QElapsedTimer timer;
  timer.start();
  while (result < 0 && timer.elapsed() < 10000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  thread.join();
  return result == 1;
}

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(runtime_.isValid());
    ASSERT_TRUE(list_.isValid());
    oldRuntime_ = qgetenv("XDG_RUNTIME_DIR");
    QFile::setPermissions(runtime_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
  }
  void TearDown() override { qputenv("XDG_RUNTIME_DIR", oldRuntime_); }

  QTemporaryDir runtime_;
  QTemporaryDir list_;
  QByteArray oldRuntime_;
};

TEST_F(SingleInstanceTest, ASecondStartOfTheSameListAsksTheFirstToShowAndEnds) {
  SingleInstance first(list_.path());
  ASSERT_TRUE(first.Claim());
  EXPECT_TRUE(first.LockPath().startsWith(runtime_.path() + "/korvelin-"));
  int requests = 0;
  QObject::connect(&first, &SingleInstance::ActivationRequested, [&] { ++requests; });

  // The same folder by another spelling is the same list.
  SingleInstance second(list_.path() + "/.");
  EXPECT_EQ(second.LockPath(), first.LockPath());
  EXPECT_FALSE(ClaimElsewhere(second));
  QElapsedTimer timer;
  timer.start();
  while (requests == 0 && timer.elapsed() < 5000) QCoreApplication::processEvents();
  EXPECT_EQ(requests, 1);

  // Once the first program has ended, the next start is the first again.
  first.Release();
  SingleInstance third(list_.path());
  EXPECT_TRUE(third.Claim());
}

TEST_F(SingleInstanceTest, ProgramsOfDifferentListsRunSideBySide) {
  QTemporaryDir other;
  SingleInstance first(list_.path());
  SingleInstance second(other.path());
  EXPECT_NE(first.LockPath(), second.LockPath());
  EXPECT_TRUE(first.Claim());
  EXPECT_TRUE(second.Claim());
}

TEST_F(SingleInstanceTest, ALockLeftByAProgramThatIsGoneIsTakenOver) {
  SingleInstance instance(list_.path());
  // The lock file of a killed program: a process id that no process has.
  QFile leftover(instance.LockPath());
  ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
  leftover.write("999999999\nkorvelin\n" + QSysInfo::machineHostName().toUtf8() + "\n");
  leftover.close();
  QFile socket(instance.SocketPath());
  ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
  socket.close();
  EXPECT_TRUE(instance.Claim());
}

}  // namespace
}  // namespace korvelin
