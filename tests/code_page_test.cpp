// The code-page rules of game.ini's values on the system's own conversions:
// glibc's iconv on Linux, MultiByteToWideChar under Wine. One table for both
// builds, so that a value reads and writes alike on either.
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using namespace std::string_literals;

std::unique_ptr<platform::CodePage> Open(unsigned number) {
  std::unique_ptr<platform::CodePage> codePage = platform::OpenCodePage(number);
  if (!codePage) ADD_FAILURE() << "no code page " << number;
  return codePage;
}

const std::string kCafeUtf8 = "Caf\u00e9";
const std::string kOmegaUtf8 = "\u03a9\u03bc\u03ad\u03b3\u03b1";  // Ωμέγα
const std::string kNihonUtf8 = "\u65e5\u672c";                    // 日本

struct ReadCase {
  const char* what;
  unsigned codePage;
  std::string bytes;
  std::string text;
  // Saved unchanged, a value keeps its bytes, but UTF-8 that the code page
  // holds is saved in the code page, as every Windows program reads it.
  std::string savedAs = {};  // empty: the bytes
  // Where a double-byte code page keeps values in itself (Windows), what
  // they read as instead, and so are saved as; empty: the same.
  std::string textInDoubleByte = {};
};

const ReadCase kReads[] = {
    {"ASCII", 1252, "plain", "plain"},
    {"8-bit text", 1252, "Caf\xE9", kCafeUtf8},
    {"UTF-8", 1252, "Caf\xC3\xA9", kCafeUtf8, "Caf\xE9"},
    {"UTF-8 the code page lacks", 1252, kOmegaUtf8, kOmegaUtf8},
    {"the euro sign", 1252, "\x80", "\u20ac"},
    {"bytes 1252 leaves undefined", 1252, "\x81\x8D\x8F\x90\x9D", "\u0081\u008d\u008f\u0090\u009d"},
    {"invalid UTF-8 is 8-bit text", 1252, "\xC3\x28", "\u00c3("},
    {"Cyrillic", 1251, "\xC0\xE1\xE2", "\u0410\u0431\u0432"},
    {"a byte 1251 leaves undefined", 1251, "\x98", "\u0098"},
    {"Greek", 1253, "\xD9\xEC\xDD\xE3\xE1", kOmegaUtf8},
    {"double-byte text", 932, "\x93\xFA\x96\x7B", kNihonUtf8},
    {"UTF-8 under a double-byte code page", 932, kNihonUtf8, kNihonUtf8, "\x93\xFA\x96\x7B",
     "\u8b4c\uff65\u8b5b\uff6c"},
    {"neither UTF-8 nor double-byte text comes as it is", 932, "a\x81", "a\x81"},
};

TEST(CodePage, ValuesReadAsUtf8OrInTheCodePage) {
  for (const ReadCase& c : kReads) {
    SCOPED_TRACE(c.what);
    const auto codePage = Open(c.codePage);
    if (!codePage) continue;
    const bool inDoubleByte = !codePage->readsUtf8First() && !c.textInDoubleByte.empty();
    const std::string text =
        platform::ValueFromCodePage(c.bytes, *codePage, platform::BufferFill::kRoomLeft);
    EXPECT_EQ(text, inDoubleByte ? c.textInDoubleByte : c.text);
    const std::string& saved = inDoubleByte || c.savedAs.empty() ? c.bytes : c.savedAs;
    EXPECT_EQ(platform::ValueToCodePage(text, *codePage), saved);
  }
}

struct WriteCase {
  const char* what;
  unsigned codePage;
  std::string text;
  std::string bytes;
};

const WriteCase kWrites[] = {
    {"ASCII", 1252, "plain", "plain"},
    {"held by the code page", 1252, kCafeUtf8, "Caf\xE9"},
    {"not held: UTF-8, never '?'", 1252, kOmegaUtf8, kOmegaUtf8},
    {"partly held: UTF-8 for all of it", 1252, kCafeUtf8 + "\u03a9", kCafeUtf8 + "\u03a9"},
    {"no look-alike", 1252, "\u0102", "\u0102"},  // Ă, which best fit would make A
    {"held, but reading back as UTF-8", 1252, "\u00c3\u00a9", "\u00c3\u00a9"},
    {"Cyrillic", 1251, "\u0410\u0431\u0432", "\xC0\xE1\xE2"},
    {"not in Cyrillic", 1251, kCafeUtf8, kCafeUtf8},
    {"Greek", 1253, kOmegaUtf8, "\xD9\xEC\xDD\xE3\xE1"},
    {"double-byte", 932, kNihonUtf8, "\x93\xFA\x96\x7B"},
    {"not in the double-byte code page", 932, kCafeUtf8, kCafeUtf8},
    {"no UTF-8 at all goes back as it came", 1252, "\xFF\xFE", "\xFF\xFE"},
};

TEST(CodePage, ValuesWriteInTheCodePageWhenItHoldsThem) {
  for (const WriteCase& c : kWrites) {
    SCOPED_TRACE(c.what);
    const auto codePage = Open(c.codePage);
    if (!codePage) continue;
    EXPECT_EQ(platform::ValueToCodePage(c.text, *codePage), c.bytes);
  }
}

// A value that filled the read buffer may end in a character cut short.
TEST(CodePage, AValueCutInTheMiddleOfAUtf8CharacterLosesOnlyThatCharacter) {
  const auto codePage = Open(1252);
  if (!codePage) return;
  std::string whole;
  for (int i = 0; i < 84; ++i) whole += "\u20ac";  // three bytes each: 252
  const std::string cut = whole + "\xE2\x82";      // 254 bytes, the last character cut short
  EXPECT_EQ(platform::ValueFromCodePage(cut, *codePage, platform::BufferFill::kFull), whole);
  // Not cut by the buffer, the same bytes are not UTF-8 and so 8-bit text.
  EXPECT_NE(
      platform::ValueFromCodePage(cut, *codePage, platform::BufferFill::kRoomLeft).substr(0, 3),
      "\u20ac");
}

TEST(CodePage, TheSystemsCodePageIsOneOfWindows) {
  EXPECT_NE(platform::OpenCodePage(platform::SystemCodePage().number()), nullptr);
}

}  // namespace
