// Binding controls to templates: a dialog class that binds a control its template lacks, binds it
// as the wrong kind of control, or binds one control twice, is stopped at once instead of driving
// the wrong window.

#include <gtest/gtest.h>

#include "resource.h"
#include "ui/headless.h"

namespace sw::ui {
namespace {

class Binder : public CDialog {
 public:
  explicit Binder(std::function<void(CDataExchange*)> bind) : CDialog(IDD_SEEKWELL_DIALOG), m_bind(std::move(bind)) {}
  void DoDataExchange(CDataExchange* pDX) override { m_bind(pDX); }

 private:
  std::function<void(CDataExchange*)> m_bind;
};

void RunBinder(std::function<void(CDataExchange*)> bind) {
  headless::Reset();
  headless::ScriptModal(IDD_SEEKWELL_DIALOG, [](CDialog& d) { d.EndDialog(kIdCancel); });
  Binder dialog(std::move(bind));
  dialog.DoModal();
}

TEST(ControlBinding, MatchingClassesBind) {
  CListCtrl list;
  CButton button;
  CIPAddressCtrl ip;
  CComboBox combo;
  bool bound = false;
  RunBinder([&](CDataExchange* pDX) {
    DDX_Control(pDX, IDC_DEVICE_LIST, list);
    DDX_Control(pDX, IDC_REFRESH, button);
    DDX_Control(pDX, IDC_DEVICE_IP, ip);
    DDX_Control(pDX, IDC_DHCP, combo);
    bound = list.GetSafeHwnd() && button.GetSafeHwnd() && ip.GetSafeHwnd() && combo.GetSafeHwnd();
  });
  EXPECT_TRUE(bound);
}

TEST(ControlBindingDeathTest, WrongClassOrMissingControlStopsTheProgram) {
  EXPECT_DEATH(RunBinder([](CDataExchange* pDX) {
                 CListCtrl notAList;
                 DDX_Control(pDX, IDC_REFRESH, notAList);
               }),
               "control 1002 is a Button, bound as a SysListView32");
  EXPECT_DEATH(RunBinder([](CDataExchange* pDX) {
                 CButton missing;
                 DDX_Control(pDX, 4242, missing);
               }),
               "has no control 4242");
  // A second object on one control would take its messages from the first (on Win32 it would
  // subclass our procedure onto itself).
  EXPECT_DEATH(RunBinder([](CDataExchange* pDX) {
                 CButton first, second;
                 DDX_Control(pDX, IDC_REFRESH, first);
                 DDX_Control(pDX, IDC_REFRESH, second);
               }),
               "control 1002 is bound twice");
}

}  // namespace
}  // namespace sw::ui
