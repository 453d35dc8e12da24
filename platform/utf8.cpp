#include "platform/utf8.h"

#include <algorithm>

namespace platform::utf8 {
namespace {

// The length of the sequence `lead` starts, or 0 when it starts none.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xC2) return 0;  // a continuation byte, or an overlong lead
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  if (lead < 0xF5) return 4;
  return 0;
}

bool IsWellFormed(char32_t character, std::size_t length) {
  switch (length) {
    case 3: return character >= 0x800 && !(character >= 0xD800 && character < 0xE000);
    case 4: return character >= 0x10000 && character <= 0x10FFFF;
    default: return true;
  }
}

}  // namespace

char32_t TakeCharacter(std::string_view& text) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  const std::size_t length = SequenceLength(lead);
  if (length == 1) {
    text.remove_prefix(1);
    return lead;
  }
  bool wellFormed = length != 0 && length <= text.size();
  char32_t character = lead & (0x7F >> length);
  for (std::size_t i = 1; wellFormed && i < length; ++i) {
    wellFormed = (byte(i) & 0xC0) == 0x80;
    character = character << 6 | (byte(i) & 0x3F);
  }
  if (!wellFormed || !IsWellFormed(character, length)) {
    text.remove_prefix(1);
    return kReplacement;
  }
  text.remove_prefix(length);
  return character;
}

bool IsValid(std::string_view text) {
  while (!text.empty()) {
    const std::size_t before = text.size();
    // U+FFFD spelled out takes three bytes; one taken byte is a bad one.
    if (TakeCharacter(text) == kReplacement && before - text.size() == 1) return false;
  }
  return true;
}

void Append(std::string& out, char32_t character) {
  if (character < 0x80) {
    out += char(character);
  } else if (character < 0x800) {
    out += char(0xC0 | character >> 6);
    out += char(0x80 | (character & 0x3F));
  } else if (character < 0x10000) {
    out += char(0xE0 | character >> 12);
    out += char(0x80 | (character >> 6 & 0x3F));
    out += char(0x80 | (character & 0x3F));
  } else {
    out += char(0xF0 | character >> 18);
    out += char(0x80 | (character >> 12 & 0x3F));
    out += char(0x80 | (character >> 6 & 0x3F));
    out += char(0x80 | (character & 0x3F));
  }
}

std::size_t CutShortEnd(std::string_view text) {
  const std::size_t lookBack = std::min<std::size_t>(3, text.size());
  for (std::size_t back = 1; back <= lookBack; ++back) {
    const auto byte = static_cast<unsigned char>(text[text.size() - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    return SequenceLength(byte) > back ? back : 0;
  }
  return 0;
}

std::string_view Prefix(std::string_view text, std::size_t maxBytes) {
  std::string_view rest = text;
  std::size_t length = 0;
  while (!rest.empty()) {
    TakeCharacter(rest);
    if (text.size() - rest.size() > maxBytes) break;
    length = text.size() - rest.size();
  }
  return text.substr(0, length);
}

}  // namespace platform::utf8
