// What the first bytes of game.ini say of its text: a byte-order mark, UTF-8
// (EF BB BF) or UTF-16 little or big-endian (FF FE, FE FF), makes it Unicode;
// without one it is 8-bit text, whose values cross the code page.
#pragma once

#include <string_view>

namespace platform {

enum class FileEncoding { kEightBit, kUtf8Mark, kUtf16LittleEndian, kUtf16BigEndian };

// The encoding a file's first bytes announce. `head` is the whole file when
// it is shorter than three bytes.
FileEncoding EncodingOf(std::string_view head);

// The mark of `encoding`; none for 8-bit text.
std::string_view MarkOf(FileEncoding encoding);

bool IsUtf16(FileEncoding encoding);

}  // namespace platform
