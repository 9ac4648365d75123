#include "ui/dialog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/ascii_case.h"
#include "host/clock.h"
#include "ui/backend.h"

namespace sw::ui {

namespace {
const MessageMap kEmptyMap{nullptr, 0};

}  // namespace

CDialog::CDialog(int templateId, CWnd* parent) : m_pParentWnd(parent), m_templateId(templateId) {}

CDialog::~CDialog() {
  *m_alive = false;
  m_items.clear();
}

const MessageMap& CCmdTarget::GetMessageMap() const { return kEmptyMap; }

void CDialog::AddPanel(CPanel& panel) { m_panels.push_back(&panel); }

ModalResult CDialog::DoModal() {
  m_ended = false;
  m_endResult = 0;
  m_creationError = 0;
  return backend::RunModal(*this, m_pParentWnd);
}

bool CDialog::Create(CWnd* parent) {
  if (parent) m_pParentWnd = parent;
  m_ended = false;
  return backend::CreateModeless(*this, m_pParentWnd);
}

void CDialog::MarkEnded(ModalResult result) {
  m_ended = true;
  m_endResult = result;
}

void CDialog::EndDialog(ModalResult result) {
  if (m_ended) return;
  MarkEnded(result);
  if (m_modal) backend::EndModal(*this, result);
}

void CDialog::DestroyWindow() {
  if (!m_hWnd) return;
  if (m_modal) {
    // Our modal loop ends when its window goes; the loop itself destroys the window.
    EndDialog(kIdCancel);
    return;
  }
  MarkEnded(kIdCancel);
  backend::DestroyDialogWindow(*this);
}

void CDialog::AttachWindow(NativeHandle hwnd, bool modal) {
  m_hWnd = hwnd;
  m_modal = modal;
}

void CDialog::DetachWindow() {
  m_items.clear();
  m_hWnd = nullptr;
}

bool CDialog::UpdateData(bool saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  DoDataExchange(&dx);
  for (CPanel* panel : m_panels) {
    if (dx.m_failed) break;
    panel->DoDataExchange(&dx);
  }
  return !dx.m_failed;
}

CWnd* CDialog::GetDlgItem(int id) { return FromHandle(backend::GetDlgItemHandle(m_hWnd, id)); }

CWnd* CDialog::FromHandle(NativeHandle hwnd) {
  if (!hwnd) return nullptr;
  if (hwnd == m_hWnd) return this;
  if (CWnd* bound = CWnd::FromBoundHandle(hwnd)) return bound;
  std::unique_ptr<CWnd>& item = m_items[hwnd];
  if (!item) {
    item = std::make_unique<CWnd>();
    item->Attach(hwnd);
  }
  return item.get();
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::OnOK() {
  if (!UpdateData(true)) return;
  EndDialog(kIdOk);
}

void CDialog::OnCancel() { EndDialog(kIdCancel); }

const MessageMap& CDialog::GetMessageMap() const { return CCmdTarget::GetMessageMap(); }

NativeHandle CDialog::OnCtlColor(CDC&, CWnd*, CtlColorKind) { return nullptr; }

NativeHandle CDialog::OnCtlColorMessage(NativeHandle hdc, NativeHandle control, CtlColorKind kind) {
  CDC dc(hdc);
  return OnCtlColor(dc, FromHandle(control), kind);
}

namespace {
// The first entry of `target`'s map that takes the message runs; true when one did.
bool DispatchTo(CCmdTarget& target, unsigned message, Wparam wParam, Lparam lParam, Lresult& result) {
  const MessageMap& map = target.GetMessageMap();
  for (std::size_t i = 0; i < map.count; ++i) {
    const MessageMapEntry& e = map.entries[i];
    switch (e.kind) {
      case MapEntryKind::Command:
        if (message == kWmCommand && static_cast<int>(LoWord(wParam)) == e.id && HiWord(wParam) == e.code) {
          result = 0;
          (target.*e.command)();
          return true;
        }
        break;
      case MapEntryKind::Notify:
        if (message == kWmNotify && lParam != 0) {
          auto* header = reinterpret_cast<NotifyHeader*>(lParam);
          if (static_cast<int>(header->idFrom) == e.id && header->code == e.code) {
            result = 0;
            (target.*e.notify)(header, &result);
            return true;
          }
        }
        break;
      case MapEntryKind::Message:
        if (message == e.message) {
          result = (target.*e.handler)(wParam, lParam);
          return true;
        }
        break;
      case MapEntryKind::RegisteredMessage:
        if (message >= 0xC000 && message == RegisterWindowMessage(e.registeredName)) {
          result = (target.*e.handler)(wParam, lParam);
          return true;
        }
        break;
      case MapEntryKind::Timer:
        if (message == kWmTimer && wParam == static_cast<Wparam>(e.id)) {
          result = 0;
          (target.*e.timer)();
          return true;
        }
        break;
    }
  }
  return false;
}
}  // namespace

bool CDialog::DispatchMap(unsigned message, Wparam wParam, Lparam lParam, Lresult& result) {
  if (DispatchTo(*this, message, wParam, lParam, result)) return true;
  // By index: a handler may add panels (the vector may grow) while we walk it.
  for (std::size_t i = 0; i < m_panels.size(); ++i) {
    if (DispatchTo(*m_panels[i], message, wParam, lParam, result)) return true;
  }
  return false;
}

bool CDialog::Dispatch(unsigned message, Wparam wParam, Lparam lParam, Lresult& result) {
  result = 0;
  if (message == kWmInitDialog) {
    result = OnInitDialog() ? 1 : 0;
    return true;
  }
  // Every handler below may end, destroy or delete this dialog; touch it only while it lives.
  const std::shared_ptr<bool> alive = m_alive;
  m_wantDefault = false;
  if (DispatchMap(message, wParam, lParam, result)) {
    if (!*alive || !m_wantDefault) return true;
    m_wantDefault = false;
    if (m_hWnd) backend::AfterUnhandled(*this, message, wParam, lParam);
    return false;
  }
  if (!*alive) return true;
  if (message == kWmCommand && HiWord(wParam) == kBnClicked) {
    if (LoWord(wParam) == kIdOk) {
      OnOK();
      return true;
    }
    if (LoWord(wParam) == kIdCancel) {
      OnCancel();
      return true;
    }
  }
  if (m_hWnd) backend::AfterUnhandled(*this, message, wParam, lParam);
  return false;
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  if (control.GetSafeHwnd()) return;
  NativeHandle existing = backend::GetDlgItemHandle(pDX->m_pDlgWnd->GetSafeHwnd(), id);
  if (existing && CWnd::FromBoundHandle(existing)) {
    // Two objects for one control: the second would take over the first one's messages.
    std::fprintf(stderr, "dialog %d control %d is bound twice\n", pDX->m_pDlgWnd->TemplateId(), id);
    std::abort();
  }
  if (!control.SubclassDlgItem(id, *pDX->m_pDlgWnd)) {
    // A dialog class binding a control its template lacks is a build fault, not a user error.
    std::fprintf(stderr, "dialog %d has no control %d\n", pDX->m_pDlgWnd->TemplateId(), id);
    std::abort();
  }
  const char* expected = control.ExpectedClass();
  if (expected && !base::EqualIgnoringAsciiCase(control.GetClassName(), expected)) {
    std::fprintf(stderr, "dialog %d control %d is a %s, bound as a %s\n", pDX->m_pDlgWnd->TemplateId(), id,
                 control.GetClassName().c_str(), expected);
    std::abort();
  }
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
  CWnd* item = pDX->m_pDlgWnd->GetDlgItem(id);
  if (!item) return;
  if (pDX->m_bSaveAndValidate) {
    value = item->GetWindowText();
  } else {
    item->SetWindowText(value);
  }
}

void DDV_MaxChars(CDataExchange* pDX, int id, const std::string& value, int maxChars) {
  CWnd* item = pDX->m_pDlgWnd->GetDlgItem(id);
  if (!pDX->m_bSaveAndValidate) {
    if (item) item->SendMessage(0x00C5 /* EM_LIMITTEXT */, static_cast<Wparam>(maxChars), 0);
    return;
  }
  if (static_cast<int>(value.size()) > maxChars) {
    char text[96];
    std::snprintf(text, sizeof text, "Enter no more than %d characters.", maxChars);
    pDX->m_pDlgWnd->MessageBox(text, "", kMbIconExclamation);
    if (item) item->SetFocus();
    pDX->m_failed = true;
  }
}

CWinApp::CWinApp() = default;
CWinApp::~CWinApp() = default;

int RunApplication(CWinApp& app) {
  app.InitInstance();
  return app.ExitInstance();
}

std::uint32_t TickCount() { return host::TickCount(); }
void SleepMs(unsigned ms) { host::SleepMs(ms); }

BusyCursor::BusyCursor(int cursorResourceId) : m_previous(SetCursor(LoadAppCursor(cursorResourceId))) {}

BusyCursor::~BusyCursor() { Restore(); }

void BusyCursor::Restore() {
  if (!m_active) return;
  m_active = false;
  SetCursor(m_previous);
}

}  // namespace sw::ui
