// The form drawn with the standard Win32 controls (common controls v6 via
// the manifest). Implements: the control table at the monitor's DPI, fonts,
// tab order through IsDialogMessage, no default or cancel button, the text
// boxes' names for screen readers, the modal message box, and closing.
#include "platform/window.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>  // needs windows.h first
#include <initguid.h>  // oleacc.h's GUIDs defined here
#include <oleacc.h>
// clang-format on

#include <exception>
#include <functional>
#include <optional>
#include <vector>

#include "platform/win32/library.h"
#include "platform/win32/text.h"

namespace platform {
namespace {

constexpr int kTwipsPerInch = 1440;
constexpr int kPointsPerInch = 72;
// Control IDs start clear of IDOK and IDCANCEL, which IsDialogMessage sends
// for Enter and Escape.
constexpr int kFirstControlId = 100;
constexpr wchar_t kWindowClass[] = L"ConnectorForm";

// The DPI of the monitor the window is on. GetDpiForWindow arrived with
// Windows 10 1607; before it every monitor had the system's DPI.
UINT WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = win32::LoadedFunction<GetDpiForWindowFunction>(
      GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
  if (getDpiForWindow != nullptr) return getDpiForWindow(window);
  HDC screen = GetDC(nullptr);
  UINT dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

int TwipsToPixels(int twips, UINT dpi) {
  return MulDiv(twips, static_cast<int>(dpi), kTwipsPerInch);
}

HFONT CreateControlFont(const FontStyle& font, UINT dpi) {
  return CreateFontW(-MulDiv(font.points, static_cast<int>(dpi), kPointsPerInch), 0, 0, 0,
                     font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, win32::Widen(font.face).c_str());
}

struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD exStyle;
};

ControlClass ClassOf(ControlKind kind) {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
  switch (kind) {
    case ControlKind::kTextBox:
      return {WC_EDITW, kChild | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::kButton: return {WC_BUTTONW, kChild | WS_TABSTOP | BS_PUSHBUTTON, 0};
    case ControlKind::kLabel: return {WC_STATICW, kChild | SS_LEFT, 0};  // SS_LEFT wraps words
  }
  return {WC_STATICW, kChild, 0};
}

// COM on the form's thread, for the accessibility service, while it lives.
class ComApartment {
 public:
  ComApartment() : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (initialized_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialized_;
};

// Enter and Escape would reach the form as IDOK and IDCANCEL, or press a
// focused button; the form has no default or cancel button, so they do nothing.
bool IsEnterOrEscape(const MSG& message) {
  bool key = message.message == WM_KEYDOWN || message.message == WM_KEYUP;
  return key && (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE);
}

class Win32Form final : public FormView {
 public:
  Win32Form(const FormLayout& layout, FormEvents& events, std::string_view appTitle)
      : layout_(layout), events_(events), title_(win32::Widen(appTitle)) {}

  ~Win32Form() override {
    for (HFONT font : fonts_) DeleteObject(font);
  }

  int Run() {
    CreateForm();
    Dispatch([this] { events_.Load(*this); });
    if (window_ == nullptr) return 0;  // closed while loading
    ShowWindow(window_, SW_SHOWDEFAULT);
    UpdateWindow(window_);
    return RunMessageLoop();
  }

  std::string Text(std::size_t control) const override {
    HWND handle = controls_.at(control);
    std::wstring text(GetWindowTextLengthW(handle) + 1, L'\0');
    text.resize(GetWindowTextW(handle, text.data(), static_cast<int>(text.size())));
    return win32::Narrow(text);
  }

  void SetText(std::size_t control, std::string_view text) override {
    SetWindowTextW(controls_.at(control), win32::Widen(text).c_str());
  }

  void ShowMessage(std::string_view text) override {
    MessageBoxW(window_, win32::Widen(text).c_str(), title_.c_str(), MB_OK);
  }

  void Close() override {
    if (window_ != nullptr) DestroyWindow(window_);
  }

 private:
  static void RegisterWindowClass(HINSTANCE instance, int iconResource) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Win32Form::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(iconResource));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);
  }

  void CreateForm() {
    INITCOMMONCONTROLSEX commonControls{sizeof commonControls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&commonControls);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterWindowClass(instance, layout_.icon.resource);
    CreateWindowExW(0, kWindowClass, win32::Widen(layout_.caption).c_str(), WS_OVERLAPPEDWINDOW,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                    instance, this);  // WindowProc sets window_
    // Created in table order, so the window order is the tab order.
    for (std::size_t i = 0; i < layout_.controls.size(); ++i) {
      const ControlLayout& control = layout_.controls[i];
      ControlClass kind = ClassOf(control.kind);
      HWND handle = CreateWindowExW(
          kind.exStyle, kind.name, win32::Widen(control.caption).c_str(), kind.style, 0, 0, 0, 0,
          window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)), instance,
          nullptr);
      if (control.kind == ControlKind::kTextBox) SendMessageW(handle, EM_SETLIMITTEXT, 0, 0);
      controls_.push_back(handle);
      if (focus_ == nullptr && control.kind != ControlKind::kLabel) focus_ = handle;
    }
    fonts_.assign(controls_.size(), nullptr);
    NameTextBoxes();
    UINT dpi = WindowDpi(window_);
    PlaceControls(dpi);
    SizeClientArea(dpi);
  }

  // Screen readers name a text box after the label before it in window
  // order, which is the tab order, where most labels follow their boxes. So
  // each box is given its label's text (direct annotation), the order left
  // as it is. Without the service the boxes only go unnamed.
  // https://learn.microsoft.com/windows/win32/winauto/using-direct-annotation
  void NameTextBoxes() {
    IAccPropServices* services = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&services)))) {
      return;
    }
    for (std::size_t i = 0; i < controls_.size(); ++i) {
      const std::optional<std::size_t>& label = layout_.controls[i].label;
      if (!label) continue;
      services->SetHwndPropStr(controls_[i], OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_NAME,
                               win32::Widen(layout_.controls[*label].caption).c_str());
    }
    services->Release();
  }

  // The frame's size is measured rather than computed, so it is right for
  // whatever DPI and theme the window got.
  void SizeClientArea(UINT dpi) {
    RECT frame;
    RECT client;
    GetWindowRect(window_, &frame);
    GetClientRect(window_, &client);
    int width = TwipsToPixels(layout_.clientWidth, dpi) + (frame.right - frame.left) - client.right;
    int height =
        TwipsToPixels(layout_.clientHeight, dpi) + (frame.bottom - frame.top) - client.bottom;
    SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void PlaceControls(UINT dpi) {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
      const ControlLayout& control = layout_.controls[i];
      MoveWindow(controls_[i], TwipsToPixels(control.left, dpi), TwipsToPixels(control.top, dpi),
                 TwipsToPixels(control.width, dpi), TwipsToPixels(control.height, dpi), TRUE);
      HFONT font = CreateControlFont(control.font, dpi);
      SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
      if (fonts_[i] != nullptr) DeleteObject(fonts_[i]);
      fonts_[i] = font;
    }
  }

  int RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (IsEnterOrEscape(message)) continue;
      if (window_ != nullptr && IsDialogMessageW(window_, &message)) continue;  // Tab, Shift+Tab
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
  }

  // No C++ exception may unwind through the system's frames: one that leaves
  // an event is reported and the window stays.
  void Dispatch(const std::function<void()>& event) {
    try {
      event();
    } catch (const std::exception& failure) {
      ShowMessage(failure.what());
    }
  }

  void OnCommand(WPARAM wParam) {
    if (HIWORD(wParam) != BN_CLICKED) return;
    std::size_t index = LOWORD(wParam) - kFirstControlId;  // IDOK and IDCANCEL wrap past the end
    if (index >= controls_.size() || layout_.controls[index].kind != ControlKind::kButton) return;
    // The action runs to its end on this thread (Test waits for the network);
    // the busy cursor says so. Nothing resets it meanwhile, as no message is
    // handled until a message box opens, which shows its own arrow.
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    Dispatch([this, index] { events_.Click(*this, index); });
    SetCursor(previous);
  }

  void OnDpiChanged(UINT dpi, const RECT& suggested) {
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceControls(dpi);
  }

  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_COMMAND: OnCommand(wParam); return 0;
      case WM_ACTIVATE:
        // A plain window forgets which control had the focus; keep it for
        // when the window is active again (after a message box, say).
        if (LOWORD(wParam) == WA_INACTIVE && IsChild(window_, GetFocus())) focus_ = GetFocus();
        break;
      case WM_SETFOCUS:
        if (focus_ != nullptr) SetFocus(focus_);
        return 0;
      case WM_DPICHANGED:
        OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
      case WM_DESTROY:
        window_ = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* form =
          static_cast<Win32Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      form->window_ = window;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return form->Handle(window, message, wParam, lParam);
  }

  ComApartment com_;
  const FormLayout& layout_;
  FormEvents& events_;
  std::wstring title_;
  HWND window_ = nullptr;
  std::vector<HWND> controls_;  // index = position in layout_.controls
  std::vector<HFONT> fonts_;    // one per control, for the current DPI
  HWND focus_ = nullptr;        // the control to hold the focus when the window is active
};

}  // namespace

int RunForm(const FormLayout& layout, FormEvents& events, std::string_view appTitle) {
  Win32Form form(layout, events, appTitle);
  return form.Run();
}

}  // namespace platform
