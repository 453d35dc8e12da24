// Code pages through glibc's iconv, which knows every one Windows uses.
#include "platform/code_page.h"

#include <errno.h>
#include <iconv.h>

#include <array>
#include <cstdlib>
#include <string>

#include "platform/linux/code_page.h"
#include "platform/utf8.h"

namespace platform {
namespace linux_os {
namespace {

struct LanguageCodePage {
  std::string_view language;
  unsigned codePage;
};

// The ANSI code pages of Windows' locales, by language.
constexpr LanguageCodePage kCodePages[] = {
    {"cs", 1250},  {"hu", 1250}, {"pl", 1250}, {"ro", 1250},  {"sk", 1250},  {"sl", 1250},
    {"hr", 1250},  {"sq", 1250}, {"bs", 1250}, {"hsb", 1250}, {"dsb", 1250}, {"tk", 1250},
    {"ru", 1251},  {"uk", 1251}, {"be", 1251}, {"bg", 1251},  {"mk", 1251},  {"sr", 1251},
    {"kk", 1251},  {"ky", 1251}, {"tt", 1251}, {"mn", 1251},  {"ba", 1251},  {"sah", 1251},
    {"tg", 1251},  {"el", 1253}, {"tr", 1254}, {"az", 1254},  {"uz", 1254},  {"he", 1255},
    {"yi", 1255},  {"ar", 1256}, {"fa", 1256}, {"ur", 1256},  {"ps", 1256},  {"ug", 1256},
    {"ckb", 1256}, {"sd", 1256}, {"et", 1257}, {"lv", 1257},  {"lt", 1257},  {"vi", 1258},
    {"th", 874},   {"ja", 932},  {"zh", 936},  {"ko", 949},
};

// Traditional Chinese is a matter of the territory.
bool IsTraditionalChinese(std::string_view territory) {
  return territory == "TW" || territory == "HK" || territory == "MO";
}

// The script modifiers that move a language to another code page.
unsigned ScriptCodePage(std::string_view language, std::string_view modifier, unsigned codePage) {
  if (modifier == "latin" && language == "sr") return 1250;
  if (modifier == "cyrillic" && (language == "uz" || language == "az")) return 1251;
  return codePage;
}

bool IsDoubleByte(unsigned number) {
  return number == 932 || number == 936 || number == 949 || number == 950;
}

// A conversion descriptor, reset before each use.
class Conversion {
 public:
  Conversion(const std::string& to, const std::string& from)
      : descriptor_(iconv_open(to.c_str(), from.c_str())) {}
  ~Conversion() {
    if (valid()) iconv_close(descriptor_);
  }
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;

  // (iconv_t)-1 is how iconv_open says it failed.
  bool valid() const {
    return descriptor_ != reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
  }

  // Converts `in` onto `out` until the end or the first byte that cannot be
  // converted, and returns how many input bytes were taken.
  std::size_t Convert(std::string_view in, std::string& out) const {
    iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    char* inAt = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    std::array<char, 256> chunk;
    while (inLeft > 0) {
      char* outAt = chunk.data();
      std::size_t outLeft = chunk.size();
      const std::size_t result = iconv(descriptor_, &inAt, &inLeft, &outAt, &outLeft);
      out.append(chunk.data(), chunk.size() - outLeft);
      if (result == static_cast<std::size_t>(-1) && errno != E2BIG) break;
    }
    return in.size() - inLeft;
  }

 private:
  iconv_t descriptor_;
};

class IconvCodePage final : public CodePage {
 public:
  explicit IconvCodePage(unsigned number)
      : number_(number),
        toUtf8_("UTF-8", "CP" + std::to_string(number)),
        fromUtf8_("CP" + std::to_string(number), "UTF-8") {
    for (unsigned byte = 0x80; byte < 0xA0 && !IsDoubleByte(number); ++byte) {
      std::string ignored;
      const char single = static_cast<char>(byte);
      undefined_[byte - 0x80] = toUtf8_.Convert({&single, 1}, ignored) == 0;
    }
  }

  bool valid() const { return toUtf8_.valid() && fromUtf8_.valid(); }

  unsigned number() const override { return number_; }
  bool readsUtf8First() const override { return true; }

  std::optional<std::string> ToUtf8(std::string_view bytes) const override {
    std::string text;
    while (!bytes.empty()) {
      bytes.remove_prefix(toUtf8_.Convert(bytes, text));
      if (bytes.empty()) break;
      if (!IsUndefined(bytes.front())) return std::nullopt;
      utf8::Append(text, static_cast<unsigned char>(bytes.front()));
      bytes.remove_prefix(1);
    }
    return text;
  }

  std::optional<std::string> FromUtf8(std::string_view text) const override {
    std::string bytes;
    while (!text.empty()) {
      text.remove_prefix(fromUtf8_.Convert(text, bytes));
      if (text.empty()) break;
      const char32_t character = utf8::TakeCharacter(text);
      if (character >= 0x100 || !IsUndefined(static_cast<char>(character))) return std::nullopt;
      bytes += static_cast<char>(character);
    }
    return bytes;
  }

 private:
  bool IsUndefined(char byte) const {
    const auto value = static_cast<unsigned char>(byte);
    return value >= 0x80 && value < 0xA0 && undefined_[value - 0x80];
  }

  unsigned number_;
  Conversion toUtf8_;
  Conversion fromUtf8_;
  std::array<bool, 0x20> undefined_{};  // bytes 0x80-0x9F
};

// Where glibc's conversion modules are missing: ASCII alone is known, so
// every other value is kept in the bytes it came in or as UTF-8.
class AsciiOnly final : public CodePage {
 public:
  unsigned number() const override { return 1252; }
  bool readsUtf8First() const override { return true; }
  std::optional<std::string> ToUtf8(std::string_view bytes) const override { return Ascii(bytes); }
  std::optional<std::string> FromUtf8(std::string_view text) const override { return Ascii(text); }

 private:
  static std::optional<std::string> Ascii(std::string_view text) {
    for (char byte : text) {
      if (static_cast<unsigned char>(byte) >= 0x80) return std::nullopt;
    }
    return std::string(text);
  }
};

// The locale's code page, opened at its first conversion: values in ASCII,
// the common case, need none, so a start need not load glibc's converters.
// Where the locale's code page cannot be had, 1252; where no converter can,
// ASCII alone.
class LocaleCodePage final : public CodePage {
 public:
  unsigned number() const override { return Opened().number(); }
  bool readsUtf8First() const override { return true; }
  std::optional<std::string> ToUtf8(std::string_view bytes) const override {
    return Opened().ToUtf8(bytes);
  }
  std::optional<std::string> FromUtf8(std::string_view text) const override {
    return Opened().FromUtf8(text);
  }

 private:
  const CodePage& Opened() const {
    if (!opened_) opened_ = OpenCodePage(CodePageForLocale(CtypeLocaleName()));
    if (!opened_) opened_ = OpenCodePage(1252);
    if (!opened_) opened_ = std::make_unique<AsciiOnly>();
    return *opened_;
  }

  mutable std::unique_ptr<CodePage> opened_;
};

}  // namespace

unsigned CodePageForLocale(std::string_view name) {
  const std::size_t modifierAt = name.find('@');
  const std::string_view modifier =
      modifierAt == std::string_view::npos ? std::string_view() : name.substr(modifierAt + 1);
  name = name.substr(0, std::min(modifierAt, name.find('.')));
  const std::size_t territoryAt = name.find('_');
  const std::string_view language = name.substr(0, territoryAt);
  const std::string_view territory =
      territoryAt == std::string_view::npos ? std::string_view() : name.substr(territoryAt + 1);
  if (language == "zh" && IsTraditionalChinese(territory)) return 950;
  for (const LanguageCodePage& entry : kCodePages) {
    if (entry.language == language) return ScriptCodePage(language, modifier, entry.codePage);
  }
  return 1252;
}

std::string_view CtypeLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

}  // namespace linux_os

std::unique_ptr<CodePage> OpenCodePage(unsigned number) {
  auto codePage = std::make_unique<linux_os::IconvCodePage>(number);
  if (!codePage->valid()) return nullptr;
  return codePage;
}

const CodePage& SystemCodePage() {
  static const linux_os::LocaleCodePage codePage;
  return codePage;
}

}  // namespace platform
