#include "platform/code_page.h"

#include <algorithm>

#include "platform/utf8.h"

namespace platform {
namespace {

bool HasNonAscii(std::string_view bytes) {
  return std::any_of(bytes.begin(), bytes.end(),
                     [](char byte) { return static_cast<unsigned char>(byte) >= 0x80; });
}

bool ReadsAsUtf8(std::string_view bytes, const CodePage& codePage) {
  return codePage.readsUtf8First() && HasNonAscii(bytes) && utf8::IsValid(bytes);
}

}  // namespace

// Every Windows code page holds ASCII as itself, so ASCII asks none.
std::string ValueFromCodePage(std::string_view bytes, const CodePage& codePage, BufferFill fill) {
  if (!HasNonAscii(bytes) || ReadsAsUtf8(bytes, codePage)) return std::string(bytes);
  if (fill == BufferFill::kFull) {
    const std::string_view whole = bytes.substr(0, bytes.size() - utf8::CutShortEnd(bytes));
    if (whole.size() < bytes.size() && ReadsAsUtf8(whole, codePage)) return std::string(whole);
  }
  return codePage.ToUtf8(bytes).value_or(std::string(bytes));
}

std::string ValueToCodePage(std::string_view text, const CodePage& codePage) {
  if (!HasNonAscii(text) || !utf8::IsValid(text)) return std::string(text);
  std::optional<std::string> bytes = codePage.FromUtf8(text);
  if (!bytes || ValueFromCodePage(*bytes, codePage, BufferFill::kRoomLeft) != text)
    return std::string(text);
  return *bytes;
}

}  // namespace platform
