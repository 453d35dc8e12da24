// Code pages through the system's own conversions. A double-byte ANSI code
// page (932, 936, 949, 950) makes many UTF-8 byte pairs look like its text and
// the other way round, so with one the value stays in the code page.
#include "platform/code_page.h"

#include <windows.h>

#include "platform/win32/text.h"

namespace platform {
namespace {

class Win32CodePage final : public CodePage {
 public:
  explicit Win32CodePage(UINT number) : number_(number) {
    CPINFO info{};
    singleByte_ = GetCPInfo(number, &info) && info.MaxCharSize == 1;
  }

  unsigned number() const override { return number_; }
  bool readsUtf8First() const override { return singleByte_; }

  std::optional<std::string> ToUtf8(std::string_view bytes) const override {
    if (bytes.empty()) return std::string();
    const int size = static_cast<int>(bytes.size());
    const int length =
        MultiByteToWideChar(number_, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length == 0) return std::nullopt;
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(number_, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), length);
    return win32::Narrow(wide);
  }

  // WC_NO_BEST_FIT_CHARS: a character the code page lacks must not pass as
  // a look-alike ("O" for "Ω"), so that it shows as missing.
  std::optional<std::string> FromUtf8(std::string_view text) const override {
    const std::wstring wide = win32::Widen(text);
    if (wide.empty()) return std::string();
    const int size = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(number_, WC_NO_BEST_FIT_CHARS, wide.data(), size,
                                           nullptr, 0, nullptr, &usedDefault);
    if (length == 0 || usedDefault) return std::nullopt;
    std::string bytes(length, '\0');
    WideCharToMultiByte(number_, WC_NO_BEST_FIT_CHARS, wide.data(), size, bytes.data(), length,
                        nullptr, nullptr);
    return bytes;
  }

 private:
  UINT number_;
  bool singleByte_ = false;
};

}  // namespace

std::unique_ptr<CodePage> OpenCodePage(unsigned number) {
  if (!IsValidCodePage(number)) return nullptr;
  return std::make_unique<Win32CodePage>(number);
}

const CodePage& SystemCodePage() {
  static const Win32CodePage ansi(GetACP());
  return ansi;
}

}  // namespace platform
