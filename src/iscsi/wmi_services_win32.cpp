// Win32 backend of the WMI port: COM security, the WMI locator, ConnectServer on
// \\MACHINE\root\NAMESPACE, ExecQuery and IWbemClassObject reads; no logic here beyond turning
// variants into the port's values.

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <cstdio>
#include <vector>

#include "iscsi/wmi_services.h"

// wingdi.h renames GetObject to GetObjectA before wbemcli.h declares the method, so the call
// below goes through the same macro and matches the declaration.

namespace sw::iscsi {

namespace {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

// Target names reach WMI from devices. By default the ANSI conversion maps a character the code
// page lacks to a look-alike ("best fit": a full-width ':' or '.' becomes ':' or '.'), which would
// turn an invalid name into another, valid one before the name check sees it. So no best fit, and
// a text that does not convert back to exactly itself has no ANSI form: false.
bool NarrowExactly(const wchar_t* text, UINT length, std::string& out) {
  out.clear();
  if (text == nullptr || length == 0) return true;
  const int wide = static_cast<int>(length);
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  int bytes = WideCharToMultiByte(CP_ACP, flags, text, wide, nullptr, 0, nullptr, nullptr);
  // UTF-8 (the program's code page where Windows honours the manifest) and a few others refuse
  // the flag; they have no best fit to avoid.
  if (bytes == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    bytes = WideCharToMultiByte(CP_ACP, flags, text, wide, nullptr, 0, nullptr, nullptr);
  }
  if (bytes <= 0) return false;
  std::string narrow(static_cast<std::size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_ACP, flags, text, wide, &narrow[0], bytes, nullptr, nullptr) != bytes) return false;
  if (Wide(narrow) != std::wstring(text, length)) return false;
  out = std::move(narrow);
  return true;
}

class Bstr {
 public:
  explicit Bstr(const std::string& text) : value_(SysAllocString(Wide(text).c_str())) {}
  ~Bstr() { SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return value_; }

 private:
  BSTR value_;
};

class ComObject : public WmiObject {
 public:
  explicit ComObject(IWbemClassObject* object) : object_(object) {}  // takes the reference
  ~ComObject() override { object_->Release(); }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  bool Get(const std::string& property, WmiValue& value) const override {
    VARIANT v;
    VariantInit(&v);
    std::wstring name = Wide(property);
    if (FAILED(object_->Get(name.c_str(), 0, &v, nullptr, nullptr))) return false;
    WmiValue out;
    out.type = V_VT(&v);
    switch (V_VT(&v)) {
      case VT_BSTR:
        if (!NarrowExactly(V_BSTR(&v), SysStringLen(V_BSTR(&v)), out.text)) {
          VariantClear(&v);
          return false;
        }
        break;
      case VT_BOOL: out.boolean = V_BOOL(&v) != VARIANT_FALSE; break;
      case VT_I4: out.i4 = V_I4(&v); break;
      case VT_UI4: out.ui4 = V_UI4(&v); break;
      case VT_ARRAY | VT_UNKNOWN:
      case VT_ARRAY | VT_DISPATCH: {
        out.type = kVtArray | kVtUnknown;
        SAFEARRAY* array = V_ARRAY(&v);
        LONG lower = 0;
        LONG upper = -1;
        if (array != nullptr && SUCCEEDED(SafeArrayGetLBound(array, 1, &lower)) &&
            SUCCEEDED(SafeArrayGetUBound(array, 1, &upper))) {
          for (LONG i = lower; i <= upper; ++i) {
            IUnknown* element = nullptr;
            if (FAILED(SafeArrayGetElement(array, &i, &element)) || element == nullptr) {
              out.objects.push_back(nullptr);
              continue;
            }
            IWbemClassObject* embedded = nullptr;
            HRESULT hr = element->QueryInterface(IID_IWbemClassObject, reinterpret_cast<void**>(&embedded));
            element->Release();
            out.objects.push_back(SUCCEEDED(hr) ? std::make_shared<ComObject>(embedded) : nullptr);
          }
        }
        break;
      }
      default: break;
    }
    VariantClear(&v);
    value = std::move(out);
    return true;
  }

 private:
  IWbemClassObject* object_;
};

class ComEnumerator : public WmiEnumerator {
 public:
  explicit ComEnumerator(IEnumWbemClassObject* e) : e_(e) {}
  ~ComEnumerator() override { e_->Release(); }
  ComEnumerator(const ComEnumerator&) = delete;
  ComEnumerator& operator=(const ComEnumerator&) = delete;
  bool Next(std::shared_ptr<WmiObject>& object) override {
    IWbemClassObject* next = nullptr;
    ULONG returned = 0;
    e_->Next(static_cast<LONG>(WBEM_INFINITE), 1, &next, &returned);
    if (returned == 0 || next == nullptr) return false;
    object = std::make_shared<ComObject>(next);
    return true;
  }

 private:
  IEnumWbemClassObject* e_;
};

class ComServices : public WmiServices {
 public:
  ComServices(IWbemLocator* locator, IWbemServices* services) : locator_(locator), services_(services) {}
  ~ComServices() override {
    services_->Release();
    locator_->Release();
  }
  ComServices(const ComServices&) = delete;
  ComServices& operator=(const ComServices&) = delete;

  std::int32_t ExecQuery(const std::string& wql, std::unique_ptr<WmiEnumerator>& results) override {
    Bstr language("WQL");
    Bstr query(wql);
    IEnumWbemClassObject* e = nullptr;
    HRESULT hr = services_->ExecQuery(language.get(), query.get(),
                                      WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr, &e);
    if (FAILED(hr) || e == nullptr) return FAILED(hr) ? hr : E_FAIL;
    results = std::make_unique<ComEnumerator>(e);
    return hr;
  }

  std::int32_t CreateInstanceWithProperty(const std::string& className, const std::string& property,
                                          const std::string& value) override {
    Bstr name(className);
    IWbemClassObject* classObject = nullptr;
    HRESULT hr = services_->GetObject(name.get(), 0, nullptr, &classObject, nullptr);
    if (FAILED(hr)) return hr;
    IWbemClassObject* instance = nullptr;
    hr = classObject->SpawnInstance(0, &instance);
    if (SUCCEEDED(hr)) {
      VARIANT v;
      VariantInit(&v);
      V_VT(&v) = VT_BSTR;
      V_BSTR(&v) = SysAllocString(Wide(value).c_str());
      std::wstring propertyName = Wide(property);
      hr = instance->Put(propertyName.c_str(), 0, &v, 0);
      VariantClear(&v);
      if (SUCCEEDED(hr)) hr = services_->PutInstance(instance, 0, nullptr, nullptr);
      instance->Release();
    }
    classObject->Release();
    return hr;
  }

 private:
  IWbemLocator* locator_;
  IWbemServices* services_;
};

}  // namespace

std::unique_ptr<WmiServices> ConnectWmiServices(const std::string& nameSpace, const std::string& machine) {
  // The result is ignored: a second call in the process fails, and the first one's settings hold.
  CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_CONNECT, RPC_C_IMP_LEVEL_IMPERSONATE,
                       nullptr, EOAC_NONE, nullptr);
  IWbemLocator* locator = nullptr;
  if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              reinterpret_cast<void**>(&locator))) ||
      locator == nullptr) {
    return nullptr;
  }
  std::string computer = machine;
  if (computer.empty()) {
    char name[260] = {};
    DWORD size = sizeof name;
    if (GetComputerNameA(name, &size)) computer = name;
  }
  char path[600];
  std::snprintf(path, sizeof path, "\\\\%s\\root\\%s", computer.c_str(), nameSpace.c_str());
  Bstr resource(path);
  IWbemServices* services = nullptr;
  if (FAILED(locator->ConnectServer(resource.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services)) ||
      services == nullptr) {
    locator->Release();
    return nullptr;
  }
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  // Windows NT 4 and earlier need the proxy blanket set explicitly.
  if (GetVersionExA(&version) && version.dwMajorVersion <= 4) {
    if (FAILED(CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CONNECT,
                                 RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
      services->Release();
      locator->Release();
      return nullptr;
    }
  }
  return std::make_unique<ComServices>(locator, services);
}

}  // namespace sw::iscsi
