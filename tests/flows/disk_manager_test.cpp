// The disk manager over the headless UI and the simulated platform: session disks are sparse
// image files whose tables sfdisk writes and judges, whose file systems mkntfs makes.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/disk_mgr_dlg.h"
#include "app/partition_dialog_port.h"
#include "disk/bar_geometry.h"
#include "simulated_machine.h"
#include "disk/volume_io.h"
#include "fabric/fabric.h"
#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"
#include "resource.h"
#include "ui/headless.h"
#include "shell_command.h"

namespace sw::app {
namespace {

namespace fs = std::filesystem;
namespace hl = ui::headless;

constexpr const char* kDevice = "10.77.0.11";
constexpr const char* kFabric = R"({"devices": [
  {"name": "NAS-ISCSI", "address": "10.77.0.11", "iscsi": true, "targets": [
    {"name": "iqn.2009-11.com.halden:d1", "sizeMiB": 128}, {"name": "iqn.2009-11.com.halden:d2", "sizeMiB": 128},
    {"name": "iqn.2009-11.com.halden:d3", "sizeMiB": 128}, {"name": "iqn.2009-11.com.halden:d4", "sizeMiB": 128},
    {"name": "iqn.2009-11.com.halden:d5", "sizeMiB": 128}, {"name": "iqn.2009-11.com.halden:d6", "sizeMiB": 128},
    {"name": "iqn.2009-11.com.halden:d7", "sizeMiB": 128}]}]})";

using test::Shell;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The Partition dialog's part of an Add, as a user who asks for 32 MiB on F:\ would get it.
class ScriptedPartitionDialog : public PartitionDialogLauncher {
 public:
  bool OpenPartitionDialog(ui::CWnd*, const disk::PartitionRequest& request) override {
    seen = request;
    disk::PartitionRequest chosen = request;
    chosen.requestedMiB = 32;
    chosen.drivePath = "F:\\";
    return disk::CreatePartitionTableEntry(chosen, disk::ConnectedSessionDisks()).written;
  }
  disk::PartitionRequest seen;
};

class DiskManagerFlow : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    hl::Reset();
    char pattern[] = "/tmp/sw-diskmgr-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    machine.services.SetInitiatorInstall({});
    machine.initiator.SetImageFolder(dir_);
    ASSERT_TRUE(machine.SetFabricText(kFabric));
    machine.volumes.SetArrivalDelay(0);
    winsim::DiskConfig system;
    system.number = 0;
    system.sizeBytes = 64ull << 30;
    system.local = true;
    system.letter = 'C';
    machine.disks.SetAttachedDisks({system});
    ASSERT_EQ(0, machine.initiator.AddSendTargetPortal(kDevice));
  }
  void TearDown() override {
    test::MachineTest::TearDown();
    SetPartitionDialogLauncher(nullptr);
    fs::remove_all(dir_);
  }

  // Logs in to target dN; the image of its disk.
  std::string Login(int n) {
    const std::string target = "iqn.2009-11.com.halden:d" + std::to_string(n);
    EXPECT_TRUE(iscsi::RunCommand(iscsi::LoginTargetCommand(target, winsim::kDefaultInitiatorName).value()));
    for (const auto& s : machine.initiator.SessionDisks()) {
      if (s.targetName == target) return s.imagePath;
    }
    ADD_FAILURE() << "no session for " << target;
    return "";
  }

  // A 64 MiB NTFS partition at sector 2048, made by sfdisk and mkntfs.
  void PartitionNtfs(const std::string& image) {
    int status = -1;
    Shell("printf 'start=2048, size=131072, type=7\\n' | sfdisk -q '" + image + "' >/dev/null 2>&1", &status);
    ASSERT_EQ(0, status);
    const std::string scratch = dir_ + "/scratch.fs";
    std::ofstream(scratch, std::ios::binary).close();
    fs::resize_file(scratch, 131072ull * 512);
    Shell("mkntfs -Q -F -q -p 2048 -H 255 -S 63 '" + scratch + "' >/dev/null 2>&1", &status);
    ASSERT_EQ(0, status);
    Shell("dd if='" + scratch + "' of='" + image + "' bs=1M seek=1 conv=notrunc,sparse status=none", &status);
    ASSERT_EQ(0, status);
    fs::remove(scratch);
  }

  // Runs a manager; `script` looks at it and the test ends it with the close box.
  void Open(const std::function<void(CDiskMgrDlg&)>& script) {
    hl::ScriptModal(IDD_DISK_MANAGER, [script](ui::CDialog& d) {
      auto& manager = static_cast<CDiskMgrDlg&>(d);
      script(manager);
      if (!manager.HasEnded()) hl::CloseBox(manager);
    });
    CDiskMgrDlg manager(kDevice);
    manager.DoModal();
  }

  // A bar's rectangle (ids 1049 and 1050 are also the hidden combo's and the group box's).
  static ui::Rect RectOf(CDiskMgrDlg& d, int id) {
    for (hl::Window* w : hl::Controls(d, id)) {
      if (w->className == kButtonBarClass) return w->rect;
    }
    ADD_FAILURE() << "no bar " << id;
    return {};
  }

  // Presses the middle of segment `segment` of bar 1 with `message`.
  static void PressSegment(CDiskMgrDlg& d, int segment, unsigned message) {
    const disk::BarRect r = d.Bar(1)->SegmentRects().at(static_cast<std::size_t>(segment));
    hl::SendUserMessage(d, kFirstBarId, message, 0, ui::MakePoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
  }

  std::string dir_;
};

// The dialog grows with the disks up to two, then scrolls; every disk with a segment gets a bar
// 90 pixels below the last; a seventh disk is listed but gets no bar.
TEST_F(DiskManagerFlow, SizeAndBarsFollowTheDiskCount) {
  Open([](CDiskMgrDlg& d) {
    EXPECT_TRUE(hl::Rows(d, IDC_DISK_VOLUMES).empty());
    EXPECT_EQ(nullptr, d.Bar(1));
    EXPECT_EQ(460, d.RememberedRect().Width());
    EXPECT_EQ(265, d.RememberedRect().Height());
  });
  PartitionNtfs(Login(1));
  Login(2);
  Open([](CDiskMgrDlg& d) {
    EXPECT_EQ(445, d.RememberedRect().Height());
    EXPECT_EQ(235, RectOf(d, kFirstBarId).top);
    EXPECT_EQ(315, RectOf(d, kFirstBarId).bottom);
    EXPECT_EQ(325, RectOf(d, kFirstBarId + 1).top);
    EXPECT_EQ(20, RectOf(d, kFirstBarId + 1).left);
    EXPECT_EQ(435, RectOf(d, kFirstBarId + 1).right);
    const auto rows = hl::Rows(d, IDC_DISK_VOLUMES);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ((std::vector<std::string>{"1", "1", "E:\\", "NTFS", "0.06 Gb", "d1"}), rows[0]);
    EXPECT_EQ("*", rows[1][2]);
    EXPECT_FALSE(hl::WindowOf(d.GetSafeHwnd())->style & ui::kWsVscroll);
  });
  for (int n = 3; n <= 7; ++n) Login(n);
  Open([](CDiskMgrDlg& d) {
    EXPECT_EQ(7u, hl::Rows(d, IDC_DISK_VOLUMES).size());
    EXPECT_EQ(7, d.DiskCount());
    EXPECT_NE(nullptr, d.Bar(6));
    EXPECT_EQ(235 + 5 * 90, RectOf(d, kFirstBarId + 5).top);
    EXPECT_EQ(nullptr, hl::Control(d, kFirstBarId + 6)) << "no seventh bar";
    EXPECT_EQ(470, d.RememberedRect().Width());
    EXPECT_EQ(445, d.RememberedRect().Height());
    hl::Window* w = hl::WindowOf(d.GetSafeHwnd());
    EXPECT_TRUE(w->style & ui::kWsVscroll);
    EXPECT_EQ(105 * 6 - 210, w->scrollMax);
    EXPECT_EQ(50, w->scrollPage);
    EXPECT_TRUE(w->centred);
  });
}

// Line, page and thumb requests stay within the range; the wheel and a drag of the background
// stay within the limit that brings the last bar into view; the bars move with the contents.
TEST_F(DiskManagerFlow, ScrollingMovesTheBarsWithinTheRange) {
  for (int n = 1; n <= 4; ++n) Login(n);
  Open([](CDiskMgrDlg& d) {
    const int range = 105 * 4 - 210 + 12 * (2 - 4);
    hl::SendUserMessage(d, 0, ui::kWmVscroll, ui::kSbLineDown, 0);
    EXPECT_EQ(range / 20, d.ScrollPosition());
    EXPECT_EQ(235 - range / 20, RectOf(d, kFirstBarId).top);
    hl::SendUserMessage(d, 0, ui::kWmVscroll, ui::MakeWparam(ui::kSbThumbTrack, 999), 0);
    EXPECT_EQ(range, d.ScrollPosition());
    hl::SendUserMessage(d, 0, ui::kWmVscroll, ui::kSbPageUp, 0);
    EXPECT_EQ(range - range / 10, d.ScrollPosition());

    const int limit = d.ScrollLimit();
    EXPECT_EQ(235 + 3 * 90 + 80 + 10 - 445, limit) << "the fourth bar's bottom reaches the window's";
    hl::SendUserMessage(d, 0, ui::kWmMouseWheel, ui::MakeWparam(0, 120), 0);
    EXPECT_EQ(std::min(limit, range - range / 10 - std::max(5, limit / 20)), d.ScrollPosition());
    hl::SendUserMessage(d, 0, ui::kWmLButtonDown, 0, ui::MakePoint(5, 200));
    hl::SendUserMessage(d, 0, ui::kWmMouseMove, 0, ui::MakePoint(5, 400));
    EXPECT_EQ(0, d.ScrollPosition());
    EXPECT_EQ(235, RectOf(d, kFirstBarId).top);
    hl::SendUserMessage(d, 0, ui::kWmMouseMove, 0, ui::MakePoint(5, 380));
    EXPECT_EQ(20, d.ScrollPosition());
    hl::SendUserMessage(d, 0, ui::kWmLButtonUp, 0, ui::MakePoint(5, 380));
    EXPECT_EQ(nullptr, hl::CaptureWindow());
  });
}

// Two disks whose partitions look alike (number 1, no letter): a right click selects the row of the
// clicked disk only. A disk whose table cannot be read shows as unreadable, not as free space, and
// offers nothing.
TEST_F(DiskManagerFlow, RowsFollowTheClickedDiskAndAnUnreadableDiskOffersNothing) {
  PartitionNtfs(Login(1));
  PartitionNtfs(Login(2));
  disk::VolumeTable table;
  disk::BuildVolumeTable(table);
  for (const auto& v : table) ASSERT_TRUE(disk::volume_io::DeleteMountPoint(v.volumePath));
  Open([](CDiskMgrDlg& d) {
    PressSegment(d, 0, ui::kWmRButtonDown);
    const auto& rows = hl::Control(d, IDC_DISK_VOLUMES)->rows;
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(ui::kLvisSelected, rows[0].state & ui::kLvisSelected);
    EXPECT_EQ(0u, rows[1].state & ui::kLvisSelected) << "the other disk's partition 1 is not the one clicked";
  });
  machine.disks.FailNextLayoutReads(1);  // the manager's first read, of disk 1
  Open([this](CDiskMgrDlg& d) {
    ASSERT_TRUE(d.Bar(1)->Segments().unreadable);
    EXPECT_NE(std::string::npos, disk::BarSegmentText(d.Bar(1)->Segments().segments[0], true).find("Unreadable"));
    const std::size_t boxes = hl::MessageBoxes().size(), menus = hl::PopupMenus().size();
    machine.disks.FailNextLayoutReads(1);  // the click reads the disk again
    PressSegment(d, 0, ui::kWmRButtonDown);
    EXPECT_EQ(menus, hl::PopupMenus().size());
    ASSERT_EQ(boxes + 1, hl::MessageBoxes().size());
    EXPECT_EQ(disk::LayoutUnreadableText(1), hl::MessageBoxes().back().text);
  });
}

// A partition offers Delete, UnMount and Mount and selects its volume row; free space offers Add;
// a press outside every segment offers nothing. The bar paints the selected and hovered segment.
TEST_F(DiskManagerFlow, RightClickMenusFollowTheSegment) {
  PartitionNtfs(Login(1));
  Open([](CDiskMgrDlg& d) {
    CButtonBarCtrl* bar = d.Bar(1);
    ASSERT_EQ(2, bar->Segments().count) << "the partition and the free space behind it";
    PressSegment(d, 0, ui::kWmRButtonDown);
    ASSERT_EQ(1u, hl::PopupMenus().size());
    EXPECT_EQ(1, hl::PopupMenus()[0].subMenu);
    EXPECT_EQ((std::vector<std::string>{"Delete", "UnMount", "Mount"}), hl::PopupMenus()[0].items);
    EXPECT_EQ(ui::kLvisSelected, hl::Control(d, IDC_DISK_VOLUMES)->rows[0].state & ui::kLvisSelected);
    EXPECT_EQ(ui::kLvisSelected, hl::Control(d, IDC_REGION_LIST)->rows[0].state & ui::kLvisSelected);

    PressSegment(d, 1, ui::kWmRButtonDown);
    ASSERT_EQ(2u, hl::PopupMenus().size());
    EXPECT_EQ((std::vector<std::string>{"Add"}), hl::PopupMenus()[1].items);
    EXPECT_EQ(0u, hl::Control(d, IDC_DISK_VOLUMES)->rows[0].state & ui::kLvisSelected);

    hl::SendUserMessage(d, kFirstBarId, ui::kWmRButtonDown, 0, ui::MakePoint(0, 40));
    EXPECT_EQ(2u, hl::PopupMenus().size());
    EXPECT_EQ(-1, bar->Selected());

    PressSegment(d, 1, ui::kWmLButtonDown);
    const disk::BarRect first = bar->SegmentRects()[0];
    hl::SendUserMessage(d, kFirstBarId, ui::kWmMouseMove, 0, ui::MakePoint(first.left + 3, first.top + 3));
    hl::SendUserMessage(d, kFirstBarId, ui::kWmMouseHover, 0, 0);
    hl::SendUserMessage(d, kFirstBarId, ui::kWmPaint, 0, 0);
    const BarPaint& paint = bar->LastPaint();
    ASSERT_EQ(2u, paint.segments.size());
    EXPECT_TRUE(paint.segments[0].hovered && !paint.segments[0].selected);
    EXPECT_TRUE(paint.segments[1].selected && paint.segments[1].free);
    EXPECT_EQ(kFreeHatch, paint.segments[1].fillHatch);
    EXPECT_EQ(kFreeHatch, paint.segments[1].innerFrameColour);
    EXPECT_EQ(" (E:\\)\n 0.06GB\n NTFS\n", paint.segments[0].text);
  });
}

// Delete names the partition and asks; No leaves every byte of the disk as it was and the
// manager open; Yes empties the entry, drops the persistent device and reopens the manager.
TEST_F(DiskManagerFlow, DeleteAsksFirstAndNoChangesNothing) {
  const std::string image = Login(1);
  PartitionNtfs(image);
  const std::string before = FileBytes(image);
  Open([](CDiskMgrDlg& d) {
    hl::QueuePopupMenuChoice(ID_DISK_DELETE);
    hl::QueueMessageBoxAnswer(ui::kIdNo);
    PressSegment(d, 0, ui::kWmRButtonDown);
    ASSERT_EQ(1u, hl::MessageBoxes().size());
    EXPECT_EQ("Delete partition 1 (E:\\, 0.06 GB, NTFS)?\nAll data on this partition will be lost.",
              hl::MessageBoxes()[0].text);
    EXPECT_EQ(ui::kMbYesNo, hl::MessageBoxes()[0].flags & 0xF);
    EXPECT_FALSE(d.HasEnded());
  });
  EXPECT_TRUE(FileBytes(image) == before) << "the image changed after No";

  bool reopened = false;
  Open([&](CDiskMgrDlg& d) {
    hl::QueuePopupMenuChoice(ID_DISK_DELETE);
    hl::QueueMessageBoxAnswer(ui::kIdYes);
    hl::ScriptModal(IDD_DISK_MANAGER, [&](ui::CDialog& fresh) {
      reopened = true;
      EXPECT_EQ(kDevice, static_cast<CDiskMgrDlg&>(fresh).DeviceText());
      EXPECT_EQ(0, static_cast<CDiskMgrDlg&>(fresh).View().segments[0].occupied);
      hl::CloseBox(fresh);
    });
    PressSegment(d, 0, ui::kWmRButtonDown);
    EXPECT_TRUE(d.HasEnded());
  });
  EXPECT_TRUE(reopened);
  const auto runs = machine.initiator.ToolRuns();
  EXPECT_NE(runs.end(), std::find(runs.begin(), runs.end(), "iscsicli RemovePersistentDevice E:\\"));
  EXPECT_EQ(std::string::npos, Shell("sfdisk --dump '" + image + "' 2>&1").find("start="));
}

// The disk rewritten by another program while the context menu is open (a new signature: another
// disk now): the confirmed Delete writes nothing, says so, and the manager stays as it is instead of
// reopening as if something had changed.
TEST_F(DiskManagerFlow, DeleteThatWroteNothingLeavesTheManagerOpen) {
  const std::string image = Login(1);
  PartitionNtfs(image);
  bool reopened = false;
  Open([&](CDiskMgrDlg& d) {
    PressSegment(d, 0, ui::kWmRButtonDown);  // the menu, then nothing chosen yet
    int status = -1;
    Shell("sfdisk -q --disk-id '" + image + "' 0x5EC0DD1E >/dev/null 2>&1", &status);
    ASSERT_EQ(0, status);
    const std::string before = FileBytes(image);
    hl::QueueMessageBoxAnswer(ui::kIdYes);
    hl::ScriptModal(IDD_DISK_MANAGER, [&](ui::CDialog& fresh) {
      reopened = true;
      hl::CloseBox(fresh);
    });
    hl::SendUserMessage(d, 0, ui::kWmCommand, ID_DISK_DELETE, 0);
    ASSERT_EQ(2u, hl::MessageBoxes().size());
    EXPECT_NE(std::string::npos, hl::MessageBoxes()[1].text.find("another disk now")) << hl::MessageBoxes()[1].text;
    EXPECT_FALSE(d.HasEnded());
    EXPECT_TRUE(FileBytes(image) == before);
  });
  EXPECT_FALSE(reopened);
}

// A volume without a letter: UnMount runs the persistent-device removal with "*" and, as no
// letter went, does not reopen; Mount gives it the letter chosen in the drive selection.
TEST_F(DiskManagerFlow, UnmountWithoutLetterStaysAndMountGivesOne) {
  PartitionNtfs(Login(1));
  {
    disk::VolumeTable table;
    disk::BuildVolumeTable(table);
    ASSERT_TRUE(disk::volume_io::DeleteMountPoint(table.at(0).volumePath));
  }
  Open([](CDiskMgrDlg& d) {
    hl::QueuePopupMenuChoice(ID_DISK_UNMOUNT);
    PressSegment(d, 0, ui::kWmRButtonDown);
    EXPECT_FALSE(d.HasEnded());
    const auto runs = winsim::TheMachine().initiator.ToolRuns();
    EXPECT_EQ("iscsicli RemovePersistentDevice *", runs.back());

    hl::QueuePopupMenuChoice(ID_DISK_MOUNT);
    hl::ScriptModal(IDD_DRIVE_SELECT, [](ui::CDialog& select) {
      const auto items = hl::Control(select, IDC_FREE_LETTERS)->items;
      ASSERT_FALSE(items.empty());
      EXPECT_EQ("E:\\", items.front()) << "given Z first, listed from the last";
      auto g = std::find(items.begin(), items.end(), "G:\\");
      ASSERT_NE(items.end(), g);
      hl::SelectComboItem(select, IDC_FREE_LETTERS, static_cast<int>(g - items.begin()));
      hl::Click(select, ui::kIdOk);
    });
    hl::ScriptModal(IDD_DISK_MANAGER, [](ui::CDialog& fresh) {
      EXPECT_EQ("G:\\", hl::Rows(fresh, IDC_DISK_VOLUMES).at(0)[2]);
      hl::CloseBox(fresh);
    });
    PressSegment(d, 0, ui::kWmRButtonDown);
    EXPECT_EQ(0, hl::PendingScripts());
  });
  EXPECT_EQ("iscsicli AddPersistentDevice G:\\", machine.initiator.ToolRuns().back());
}

// Add on a disk with an empty table: the Partition dialog gets the region, and the reopened
// manager shows the new partition in a table sfdisk accepts.
TEST_F(DiskManagerFlow, AddThroughThePartitionDialogReopensWithTheNewSegment) {
  const std::string image = Login(1);
  int status = -1;
  Shell("printf 'label: dos\\n' | sfdisk -q '" + image + "' >/dev/null 2>&1", &status);
  ASSERT_EQ(0, status);
  ScriptedPartitionDialog partitionDialog;
  SetPartitionDialogLauncher(&partitionDialog);
  bool reopened = false;
  Open([&](CDiskMgrDlg& d) {
    ASSERT_EQ(1, d.Bar(1)->Segments().count);
    hl::QueuePopupMenuChoice(ID_DISK_ADD);
    hl::ScriptModal(IDD_DISK_MANAGER, [&](ui::CDialog& fresh) {
      reopened = true;
      const disk::DiskLayoutView& view = static_cast<CDiskMgrDlg&>(fresh).Bar(1)->Segments();
      ASSERT_EQ(2, view.count);
      EXPECT_EQ(1, view.segments[0].number) << "Windows numbers the only partition 1, whatever its entry";
      EXPECT_EQ(32 * disk::kMiB, view.segments[0].length);
      hl::CloseBox(fresh);
    });
    PressSegment(d, 0, ui::kWmRButtonDown);
    EXPECT_TRUE(hl::MessageBoxes().empty());
  });
  EXPECT_TRUE(reopened);
  EXPECT_EQ(63 * 512, partitionDialog.seen.regionStart);
  EXPECT_EQ(partitionDialog.seen.regionLength / disk::kMiB, partitionDialog.seen.availableMiB);
  EXPECT_EQ(1u, partitionDialog.seen.newNumber);
  const std::string verify = Shell("sfdisk --verify '" + image + "' 2>&1", &status);
  EXPECT_EQ(0, status) << verify;
  EXPECT_NE(std::string::npos, Shell("sfdisk --dump '" + image + "'").find(image + "4 : start=")) << "the last unused entry";
}

}  // namespace
}  // namespace sw::app
