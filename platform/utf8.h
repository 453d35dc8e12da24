// UTF-8, the program's own encoding, one character at a time. One rule for
// bytes that are not UTF-8: a byte that does not start a well-formed
// character (an overlong form, a surrogate, a code point past U+10FFFF, a
// sequence cut short) stands for U+FFFD by itself, and decoding goes on at
// the next byte. So every byte string decodes, and valid text decodes as
// itself.
#pragma once

#include <string>
#include <string_view>

namespace platform::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

// Takes one character off the front of `text`, which must not be empty.
char32_t TakeCharacter(std::string_view& text);

// Whether `text` is well-formed UTF-8 throughout.
bool IsValid(std::string_view text);

void Append(std::string& out, char32_t character);

// How many bytes at the end of `text` begin a character that is cut short:
// a lead byte and fewer continuation bytes than it announces. 0 when none.
std::size_t CutShortEnd(std::string_view text);

// The longest start of `text` of at most `maxBytes` that ends between
// characters.
std::string_view Prefix(std::string_view text, std::size_t maxBytes);

}  // namespace platform::utf8
