// How game.ini's bytes become text and back, in one place that reading and
// rewriting share: the byte-order mark, UTF-16, and the code page of values.
//
// A file's text is what follows its byte-order mark (platform/
// byte_order_mark.h), UTF-16 turned into UTF-8; a file without a mark is its
// bytes as they are. Offsets
// into a file's text count from the end of its mark, in the bytes of its
// text. The values of a file without a mark are 8-bit text, read and written
// by the code-page rules of platform/code_page.h; the other files hold
// Unicode, so their values are UTF-8 throughout.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/byte_order_mark.h"
#include "platform/code_page.h"

namespace platform::profile_text {

using platform::FileEncoding;

// A file's bytes, fed in pieces of any size, as its text.
class TextDecoder {
 public:
  // The text of the next `bytes`, valid until the next call. The first bytes
  // are held back until it is clear whether they are a mark.
  std::string_view Decode(std::string_view bytes);
  // The text still held back at the end of the file.
  std::string_view Finish();

  // Known once the mark is decided (after Finish at the latest).
  std::optional<FileEncoding> encoding() const { return encoding_; }
  // Whether UTF-16 text held units that are no character; each one became
  // U+FFFD, so such a file cannot be written back without loss.
  bool damaged() const { return damaged_; }

 private:
  std::string_view DecodeText(std::string_view bytes);
  void DecodeUtf16(std::string_view bytes);
  void Damaged();

  std::string head_;
  std::optional<FileEncoding> encoding_;
  std::string decoded_;
  int oddByte_ = -1;  // the first byte of a UTF-16 unit
  char32_t highSurrogate_ = 0;
  bool damaged_ = false;
};

// Text as the bytes of a file in `encoding`, its mark first.
class TextEncoder {
 public:
  explicit TextEncoder(FileEncoding encoding) : encoding_(encoding) {}

  // Appends `text` encoded to `out`. UTF-16 takes each byte that does not
  // start a UTF-8 character as U+FFFD.
  void Encode(std::string_view text, std::string& out);

 private:
  FileEncoding encoding_;
  bool markWritten_ = false;
};

// A value's text from the file's text: 8-bit values by the code-page rules,
// the others as they are.
std::string ValueFromFile(std::string_view bytes, FileEncoding encoding, const CodePage& codePage,
                          BufferFill fill);
// The file's text for a value.
std::string ValueForFile(std::string_view text, FileEncoding encoding, const CodePage& codePage);

}  // namespace platform::profile_text
