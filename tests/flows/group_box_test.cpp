// The custom group box on the five templates that use it: it takes the template's caption and
// alignment, and paints a white caption in a gap of the etched frame (embossed when disabled).

#include <gtest/gtest.h>

#include "app/password_dlg.h"
#include "resource.h"
#include "ui/headless.h"
#include "ui/sx_group_box.h"

namespace sw::host {
namespace {

namespace hl = ui::headless;

class GroupBoxHost : public ui::CDialog {
 public:
  GroupBoxHost(int templateId, int boxId) : ui::CDialog(templateId), m_boxId(boxId) {}
  void DoDataExchange(ui::CDataExchange* pDX) override { ui::DDX_Control(pDX, m_boxId, m_box); }
  ui::CSxGroupBox m_box;

 private:
  int m_boxId;
};

struct Case {
  int templateId;
  int boxId;
  const char* caption;
  std::uint32_t alignment;
};

TEST(SxGroupBox, TakesCaptionAndAlignmentFromEachTemplateAndPaintsTheGap) {
  const Case cases[] = {
      {IDD_CHAP, IDC_CHAP_GROUP, "CHAP Authentication", kGroupBoxAlignLeft},
      {IDD_WIZARD, IDC_OPTION_GROUP, "Wizard Option", kGroupBoxAlignLeft},
      {IDD_DISK_MANAGER, IDC_DISK_GROUP, "Disk Management", kGroupBoxAlignCentre},
      {IDD_DRIVE_SELECT, IDC_SELECT_DRIVE_GROUP, "Select Drive Letter", kGroupBoxAlignCentre},
      {IDD_PARTITION, IDC_OPTION_GROUP, "Partition Option", kGroupBoxAlignLeft},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    hl::Reset();
    hl::ScriptModal(c.templateId, [&](ui::CDialog& d) {
      auto& host = static_cast<GroupBoxHost&>(d);
      ui::CSxGroupBox& box = host.m_box;
      EXPECT_EQ(box.Caption(), c.caption);
      EXPECT_EQ(box.Layout().alignment, c.alignment);
      EXPECT_FALSE(box.Layout().hideCaption);

      box.SendMessage(ui::kWmPaint);
      const GroupBoxPaint& paint = box.LastPaint();
      EXPECT_EQ(box.LastCaptionMode(), GroupBoxCaptionMode::Normal);
      // The caption (with its two blanks) fills exactly the gap left in the top line.
      EXPECT_EQ(paint.captionEnd - paint.captionStart, 6 * static_cast<int>(std::string(c.caption).size() + 2));
      EXPECT_EQ(paint.captionRect.left, paint.captionStart);
      EXPECT_EQ(paint.captionRect.right, paint.captionEnd);
      if (c.alignment == kGroupBoxAlignLeft) {
        EXPECT_EQ(paint.captionStart, box.Layout().frameRect.left + 8);
      }
      EXPECT_EQ(box.LastPenDark(), box.Colours().dark);

      box.EnableWindow(false);
      box.SendMessage(ui::kWmPaint);
      EXPECT_EQ(box.LastCaptionMode(), GroupBoxCaptionMode::Embossed);
      EXPECT_EQ(box.LastPenDark(), box.Colours().disabledDark);
      d.EndDialog(ui::kIdCancel);
    });
    GroupBoxHost host(c.templateId, c.boxId);
    host.DoModal();
    EXPECT_EQ(hl::PendingScripts(), 0);
  }
}

}  // namespace
}  // namespace sw::host

namespace sw::app {
namespace {

// The CHAP dialog's frame must be the custom group box, like the other dialogs': a themed one draws
// its caption dark on the blue background.
TEST(SxGroupBox, ChapDialogFrameIsTheCustomGroupBox) {
  ui::headless::Reset();
  const ui::CSxGroupBox* box = nullptr;
  ui::headless::ScriptModal(IDD_CHAP, [&](ui::CDialog& d) {
    box = dynamic_cast<const ui::CSxGroupBox*>(ui::headless::Control(d, IDC_CHAP_GROUP)->subclass);
    d.EndDialog(ui::kIdCancel);
  });
  CPasswordDialog dialog(nullptr, "iqn.2009-11.com.halden:t", "user", "");
  dialog.DoModal();
  ASSERT_NE(nullptr, box);
  EXPECT_EQ("CHAP Authentication", box->Caption());
  EXPECT_EQ(0xFFFFFFu, box->CaptionColour());
}

}  // namespace
}  // namespace sw::app
