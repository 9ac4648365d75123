// The capacity text, and the simulated volumes on the program's own table write, natively and in
// the Windows build (where seekwell-sim.exe runs the same model).

#include <gtest/gtest.h>

#include "simulated_machine.h"
#include "disk/partitions.h"
#include "disk/volume_inventory.h"
#include "iscsi/command_lines.h"
#include "iscsi_sim_fixture.h"

namespace sw::iscsi {
namespace {

TEST(CapacityText, HundredthsAreRoundedUpAndCarried) {
  EXPECT_EQ("1.00 Gb", disk::CapacityText((1ull << 30) - 1));
  EXPECT_EQ("2.00 Gb", disk::CapacityText((2ull << 30) - 32256));  // a whole-disk partition of 2 GiB
  EXPECT_EQ("1.00 Gb", disk::CapacityText(1ull << 30));
  EXPECT_EQ("0.06 Gb", disk::CapacityText(64ull << 20));
  EXPECT_EQ("2.50 Gb", disk::CapacityText(5ull << 29));
  EXPECT_EQ("4096.00 Gb", disk::CapacityText(1ull << 42));  // past 32 bits of bytes
}

// The wizard's table on a fresh session disk gives a volume with the first free letter and no
// file system yet, and the format finds its bytes in the image.
TEST_F(IscsiSim, WizardTableGivesAVolumeTheFormatCanLocate) {
  machine.volumes.SetArrivalDelay(0);
  ASSERT_EQ(0, machine.initiator.AddSendTargetPortal(kDevice));
  ASSERT_TRUE(RunCommand(LoginTargetCommand(kPlain, winsim::kDefaultInitiatorName).value()));
  const disk::SessionDisks sessions = disk::ConnectedSessionDisks();
  ASSERT_TRUE(disk::WritePartitionTableForWizard(1, 64u, sessions, disk::CheckWizardErase(1, {}).identity).written);

  disk::VolumeTable table;
  disk::BuildVolumeTable(table);
  ASSERT_EQ(1u, table.size());
  EXPECT_EQ("E:\\", table[0].volumePath);
  EXPECT_EQ("Unknown", table[0].fileSystem);
  EXPECT_EQ(1, table[0].diskNumber);
  EXPECT_EQ(64u, table[0].sizeMegabytes);
  EXPECT_EQ(kPlain, table[0].targetName);
  auto where = machine.volumes.Locate('e');
  ASSERT_TRUE(where.has_value());
  EXPECT_EQ(machine.initiator.SessionDisks().at(0).imagePath, where->imagePath);
  EXPECT_EQ(32256u, where->offset);
  EXPECT_EQ(64ull << 20, where->length);
  EXPECT_FALSE(machine.volumes.Locate('C').has_value()) << "the system disk has no image";
}

}  // namespace
}  // namespace sw::iscsi
