#include "share/reachability.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
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
    // A decided flag is read, and set back to pending, by the program's own wait.
    if (ReachabilityFlag() != kReachabilityPending) WaitForDeviceReachable();
  }

  // Real time: the worker thread is a real thread even where the UI clock is fake. The bound is
  // generous because a loaded machine under Wine can take seconds to schedule a new thread.
  template <typename Condition>
  static bool Eventually(Condition condition) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
  }
  static bool FlagBecomes(std::int32_t value) {
    return Eventually([value] { return ReachabilityFlag() == value; });
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
  // Shared, so that a thread still running after a failed assertion touches no freed stack.
  auto release = std::make_shared<std::atomic<bool>>(false);
  auto started = std::make_shared<std::atomic<bool>>(false);
  auto done = std::make_shared<std::atomic<bool>>(false);
  SetConnectionCheck([release, started, done](const std::string&) {
    *started = true;
    while (!*release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    *done = true;
    return true;
  });
  StartReachabilityProbe("10.77.0.10");
  EXPECT_FALSE(WaitForDeviceReachable());  // two fake seconds, the check still hangs
  *release = true;
  ASSERT_TRUE(Eventually([&] { return done->load(); })) << "check started: " << started->load();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(ReachabilityFlag(), kReachabilityPending) << "a late 1 after the failed wait";
}

TEST_F(ReachabilityTest, LateAnswerOfAnEarlierProbeIsIgnored) {
  auto release = std::make_shared<std::atomic<bool>>(false);
  auto slowDone = std::make_shared<std::atomic<bool>>(false);
  SetConnectionCheck([release, slowDone](const std::string& url) {
    if (url == "http://10.77.0.10") {
      while (!*release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      *slowDone = true;
      return true;
    }
    return false;
  });
  StartReachabilityProbe("10.77.0.10");  // hangs, as for a device that went away
  StartReachabilityProbe("10.77.0.11");
  ASSERT_TRUE(FlagBecomes(kDeviceUnreachable));
  EXPECT_FALSE(WaitForDeviceReachable());

  *release = true;
  ASSERT_TRUE(Eventually([&] { return slowDone->load(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(ReachabilityFlag(), kReachabilityPending) << "the first probe must not write the flag any more";
}

}  // namespace
}  // namespace sw::share
