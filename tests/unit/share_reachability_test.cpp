#include "share/reachability.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "ui/dialog.h"

namespace sw::share {
namespace {

class ReachabilityTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetProbeStandIn(nullptr);
    SetConnectionCheck(nullptr);
    SetReachabilityFlag(kReachabilityPending);
  }

  // Real time: the worker thread is a real thread even where the UI clock is fake.
  static bool FlagBecomes(std::int32_t value) {
    for (int i = 0; i < 500 && ReachabilityFlag() != value; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ReachabilityFlag() == value;
  }
};

TEST_F(ReachabilityTest, AnsweringDeviceIsSeenAtOnce) {
  std::vector<std::string> urls;
  SetProbeStandIn([&](const std::string& url) {
    urls.push_back(url);
    return ProbeAnswer::Reachable;
  });
  std::uint32_t before = ui::TickCount();
  StartReachabilityProbe("10.77.0.10");
  EXPECT_TRUE(WaitForDeviceReachable());
  EXPECT_LT(ui::TickCount() - before, 500u) << "no sleep when the answer is already there";
  EXPECT_EQ(urls, std::vector<std::string>{"http://10.77.0.10"});
  EXPECT_EQ(ReachabilityFlag(), kReachabilityPending) << "reset after the wait";
}

TEST_F(ReachabilityTest, SilentDeviceCountsAsGoneAfterAboutTwoSeconds) {
  SetProbeStandIn([](const std::string&) { return ProbeAnswer::NoAnswer; });
  std::uint32_t before = ui::TickCount();
  StartReachabilityProbe("10.77.0.10");
  EXPECT_FALSE(WaitForDeviceReachable());
  std::uint32_t waited = ui::TickCount() - before;
  EXPECT_GE(waited, 1900u);
  EXPECT_LT(waited, 3000u);
  EXPECT_EQ(ReachabilityFlag(), kReachabilityPending);
}

TEST_F(ReachabilityTest, RefusingDeviceEndsTheWaitWithoutSleeping) {
  SetProbeStandIn([](const std::string&) { return ProbeAnswer::Unreachable; });
  std::uint32_t before = ui::TickCount();
  StartReachabilityProbe("10.77.0.10");
  EXPECT_FALSE(WaitForDeviceReachable());
  EXPECT_LT(ui::TickCount() - before, 500u);
  EXPECT_EQ(ReachabilityFlag(), kReachabilityPending);
}

TEST_F(ReachabilityTest, AddressThatIsNotDottedIsNeverProbed) {
  int calls = 0;
  SetProbeStandIn([&](const std::string&) {
    ++calls;
    return ProbeAnswer::Reachable;
  });
  for (const char* bad : {"", "10.77.0", "10.77.0.10/evil", "nas1 & calc", "10.77.0.256"}) {
    StartReachabilityProbe(bad);
    EXPECT_EQ(ReachabilityFlag(), kDeviceUnreachable) << bad;
    EXPECT_FALSE(WaitForDeviceReachable()) << bad;
  }
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(ReachabilityUrl("10.77.0.10"), "http://10.77.0.10");
}

TEST_F(ReachabilityTest, WorkerThreadWritesTheCheckResult) {
  SetConnectionCheck([](const std::string& url) { return url == "http://10.77.0.10"; });
  StartReachabilityProbe("10.77.0.10");
  ASSERT_TRUE(FlagBecomes(kDeviceReachable));
  EXPECT_TRUE(WaitForDeviceReachable());
  StartReachabilityProbe("10.77.0.11");
  ASSERT_TRUE(FlagBecomes(kDeviceUnreachable));
  EXPECT_FALSE(WaitForDeviceReachable());
}

TEST_F(ReachabilityTest, AProbeWhoseWaitEndedCannotWriteTheFlag) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> done{false};
  SetConnectionCheck([&, released](const std::string&) {
    released.wait();
    done = true;
    return true;
  });
  StartReachabilityProbe("10.77.0.10");
  EXPECT_FALSE(WaitForDeviceReachable());  // two fake seconds, the check still hangs
  release.set_value();
  for (int i = 0; i < 500 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(done);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(ReachabilityFlag(), kReachabilityPending) << "a late 1 after the failed wait";
}

TEST_F(ReachabilityTest, LateAnswerOfAnEarlierProbeIsIgnored) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> slowDone{false};
  SetConnectionCheck([&, released](const std::string& url) {
    if (url == "http://10.77.0.10") {
      released.wait();
      slowDone = true;
      return true;
    }
    return false;
  });
  StartReachabilityProbe("10.77.0.10");  // hangs, as for a device that went away
  StartReachabilityProbe("10.77.0.11");
  ASSERT_TRUE(FlagBecomes(kDeviceUnreachable));
  EXPECT_FALSE(WaitForDeviceReachable());

  release.set_value();
  for (int i = 0; i < 500 && !slowDone; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(slowDone);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(ReachabilityFlag(), kReachabilityPending) << "the first probe must not write the flag any more";
}

}  // namespace
}  // namespace sw::share
