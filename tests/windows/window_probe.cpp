// Reads, and pokes at, the open connector for the end-to-end test:
//   window_probe form     the form's caption, frame and client size, then one
//                         line per control in window order: class, text,
//                         position and size in pixels, tab stop, focus
//   window_probe names    per text box in window order, its handle in hex and
//                         the name screen readers get for it (get_accName)
//   window_probe message  the open message box: caption, owner and text
//   window_probe close    closes the form as its frame's close button does
//   window_probe resize W H  resizes the form as dragging its frame does
#include <windows.h>
// clang-format off
#include <initguid.h>  // oleacc.h's GUIDs defined here: liboleacc's IID_IAccessible is
                       // an import stub, not the GUID
#include <oleacc.h>    // needs windows.h first
// clang-format on

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/win32/text.h"

namespace {

using platform::win32::Narrow;

constexpr wchar_t kFormCaption[] = L"Dedozeroz Adodivu";
constexpr wchar_t kMessageCaption[] = L"Connector";

std::wstring Text(HWND window) {
  wchar_t text[1024] = L"";
  SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
  return text;
}

std::wstring ClassName(HWND window) {
  wchar_t name[256] = L"";
  GetClassNameW(window, name, 256);
  return name;
}

struct Form {
  HWND window;
  HWND focus;
};

BOOL CALLBACK PrintControl(HWND control, LPARAM formParameter) {
  const Form& form = *reinterpret_cast<const Form*>(formParameter);
  RECT box;
  GetWindowRect(control, &box);
  MapWindowPoints(nullptr, form.window, reinterpret_cast<POINT*>(&box), 2);
  LONG style = GetWindowLongW(control, GWL_STYLE);
  std::printf("%s|%s|%ld %ld %ld %ld|%s|%s\n", Narrow(ClassName(control)).c_str(),
              Narrow(Text(control)).c_str(), box.left, box.top, box.right - box.left,
              box.bottom - box.top, (style & WS_TABSTOP) ? "tabstop" : "-",
              control == form.focus ? "focus" : "-");
  return TRUE;
}

int PrintForm() {
  HWND window = FindWindowW(nullptr, kFormCaption);
  if (window == nullptr) return 1;
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread);
  RECT client;
  GetClientRect(window, &client);
  LONG style = GetWindowLongW(window, GWL_STYLE);
  std::printf("caption %s\n", Narrow(Text(window)).c_str());
  std::printf("frame%s%s%s%s\n", (style & WS_THICKFRAME) ? " resizable" : "",
              (style & WS_SYSMENU) ? " close" : "", (style & WS_MINIMIZEBOX) ? " minimize" : "",
              (style & WS_MAXIMIZEBOX) ? " maximize" : "");
  std::printf("client %ld %ld\n", client.right, client.bottom);
  Form form{window, thread.hwndFocus};
  EnumChildWindows(window, PrintControl, reinterpret_cast<LPARAM>(&form));
  return 0;
}

// The name a screen reader announces: the client object's, as Windows'
// accessibility layer serves it (with any annotation the program set).
std::wstring AccessibleName(HWND control) {
  IAccessible* accessible = nullptr;
  HRESULT hr = AccessibleObjectFromWindow(control, OBJID_CLIENT, IID_IAccessible,
                                          reinterpret_cast<void**>(&accessible));
  if (FAILED(hr)) {
    wchar_t text[64];
    std::swprintf(text, 64, L"(no accessible object: 0x%08lX)", static_cast<unsigned long>(hr));
    return text;
  }
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  std::wstring text = L"(no name)";
  if (accessible->get_accName(self, &name) == S_OK && name != nullptr) text = name;
  SysFreeString(name);
  accessible->Release();
  return text;
}

BOOL CALLBACK PrintName(HWND control, LPARAM) {
  if (ClassName(control) != L"Edit") return TRUE;
  std::printf("%llx|%s\n",
              static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(control)),
              Narrow(AccessibleName(control)).c_str());
  return TRUE;
}

int PrintNames() {
  HWND window = FindWindowW(nullptr, kFormCaption);
  if (window == nullptr) return 1;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  EnumChildWindows(window, PrintName, 0);
  CoUninitialize();
  return 0;
}

int PrintMessage() {
  HWND box = FindWindowW(L"#32770", kMessageCaption);
  if (box == nullptr) return 1;
  HWND owner = GetWindow(box, GW_OWNER);
  std::printf("caption %s\nowner %s\n", Narrow(Text(box)).c_str(), Narrow(Text(owner)).c_str());
  // The message box shows its text in the static control 0xFFFF.
  std::printf("text %s\n", Narrow(Text(GetDlgItem(box, 0xFFFF))).c_str());
  return 0;
}

int Close() {
  HWND window = FindWindowW(nullptr, kFormCaption);
  return window != nullptr && PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
}

int Resize(int width, int height) {
  HWND window = FindWindowW(nullptr, kFormCaption);
  return window != nullptr && SetWindowPos(window, nullptr, 0, 0, width, height,
                                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE)
             ? 0
             : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring what = argc > 1 ? argv[1] : L"";
  if (what == L"form") return PrintForm();
  if (what == L"names") return PrintNames();
  if (what == L"message") return PrintMessage();
  if (what == L"close") return Close();
  if (what == L"resize" && argc == 4) return Resize(_wtoi(argv[2]), _wtoi(argv[3]));
  std::fputs("usage: window_probe form|names|message|close|resize W H\n", stderr);
  return 2;
}
