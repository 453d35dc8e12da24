// The system's 8-bit code page, and how game.ini's values cross it. A game
// folder is often shared by the Windows and the Linux connector, so both
// builds read and write a value's bytes by the same rules.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class CodePage {
 public:
  virtual ~CodePage() = default;

  // The Windows number of the code page: 1252, 1251, 932...
  virtual unsigned number() const = 0;
  // Whether a value that is valid UTF-8 with a non-ASCII byte is taken as
  // UTF-8 rather than as text in this code page.
  virtual bool readsUtf8First() const = 0;
  // `bytes` in this code page as UTF-8, or nullopt when some of them are no
  // text in it. Single-byte code pages take a byte they leave undefined in
  // 0x80-0x9F as the control character of the same number, as Windows does.
  virtual std::optional<std::string> ToUtf8(std::string_view bytes) const = 0;
  // UTF-8 `text` in this code page, or nullopt when it lacks a character.
  // Never a replacement character or a look-alike.
  virtual std::optional<std::string> FromUtf8(std::string_view text) const = 0;
};

// The code page of the Windows programs that share the game's folder: the
// ANSI code page on Windows; on Linux the one Wine gives a Windows program in
// the user's locale.
const CodePage& SystemCodePage();

// Code page `number`, or nullptr when the system cannot convert it. Every
// one holds ASCII as itself.
std::unique_ptr<CodePage> OpenCodePage(unsigned number);

// Whether a value read filled the read buffer, and so may have been cut.
enum class BufferFill { kRoomLeft, kFull };

// The text of a value as stored in a file of 8-bit text: UTF-8 when its bytes
// are valid UTF-8 holding a non-ASCII byte (and `codePage` reads UTF-8
// first), else text in `codePage`; bytes that are neither come as they are.
// A value that filled the buffer loses a last UTF-8 character cut short
// rather than making the rest look like code-page text.
std::string ValueFromCodePage(std::string_view bytes, const CodePage& codePage, BufferFill fill);

// The bytes that store `text`: in `codePage` when it holds every character
// and they read back as the same text, else the UTF-8 as it is. Text that is
// not UTF-8 (bytes that came as they are) goes back as it came.
std::string ValueToCodePage(std::string_view text, const CodePage& codePage);

}  // namespace platform
