#pragma once
// A clean simulated Windows for the iSCSI tests: the built-in demo fabric (an iSCSI device at
// 10.77.0.11 with a plain and a CHAP target), the initiator's service running, no portals or
// sessions, and a folder of its own for the disk images.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fabric/fabric.h"
#include "simulated_machine.h"
#include "iscsi/command_runner.h"

namespace sw::iscsi {

class IscsiSim : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    machine.SetClock([this] { return clockMs; });
    machine.services.SetInitiatorInstall({});
    ASSERT_TRUE(machine.SetFabricText(fabric::DefaultFabricJson()));
    images = std::filesystem::temp_directory_path() /
             ("seekwell-iscsi-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(images);
    machine.initiator.SetImageFolder(images.string());
    CommandOutput().clear();
  }
  void TearDown() override {
    test::MachineTest::TearDown();
    std::filesystem::remove_all(images);
  }

  std::uint32_t clockMs = 1000;
  std::filesystem::path images;
};

constexpr const char* kDevice = "10.77.0.11";
constexpr const char* kPlain = "iqn.2009-11.com.halden:nas2.disk1";
constexpr const char* kChap = "iqn.2009-11.com.halden:nas2.disk2";

}  // namespace sw::iscsi
