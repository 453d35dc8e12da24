#include "platform/profile_encoding.h"

#include "platform/utf8.h"

namespace platform::profile_text {
namespace {

// Whether more bytes could still make `head` a mark.
bool MayBecomeMark(std::string_view head) {
  constexpr FileEncoding kMarked[] = {FileEncoding::kUtf8Mark, FileEncoding::kUtf16LittleEndian,
                                      FileEncoding::kUtf16BigEndian};
  for (FileEncoding encoding : kMarked) {
    if (head.size() < MarkOf(encoding).size() && MarkOf(encoding).starts_with(head)) return true;
  }
  return false;
}

void AppendUtf16(std::string_view text, bool bigEndian, std::string& out) {
  const auto appendUnit = [bigEndian, &out](char32_t unit) {
    const char high = char(unit >> 8);
    const char low = char(unit & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  };
  while (!text.empty()) {
    const char32_t character = utf8::TakeCharacter(text);
    if (character < 0x10000) {
      appendUnit(character);
    } else {
      appendUnit(0xD800 + ((character - 0x10000) >> 10));
      appendUnit(0xDC00 + ((character - 0x10000) & 0x3FF));
    }
  }
}

}  // namespace

std::string_view TextDecoder::Decode(std::string_view bytes) {
  if (encoding_) return DecodeText(bytes);
  while (!bytes.empty() && !encoding_) {
    head_ += bytes.front();
    bytes.remove_prefix(1);
    // A mark is decided at its last byte, the absence of one at the byte
    // that no mark continues with.
    if (!MayBecomeMark(head_)) encoding_ = EncodingOf(head_);
  }
  if (!encoding_) return {};
  // The bytes held back after the mark, then the rest.
  std::string text = head_.substr(MarkOf(*encoding_).size());
  text += bytes;
  head_.clear();
  if (IsUtf16(*encoding_)) return DecodeText(text);
  decoded_ = std::move(text);
  return decoded_;
}

std::string_view TextDecoder::Finish() {
  std::string_view text;
  if (!encoding_) {
    encoding_ = EncodingOf(head_);
    decoded_ = head_.substr(MarkOf(*encoding_).size());
    text = decoded_;
  }
  if (!IsUtf16(*encoding_)) return text;
  decoded_.clear();
  // A lone high surrogate and an odd last byte are two damaged places.
  if (highSurrogate_ != 0) Damaged();
  if (oddByte_ >= 0) Damaged();
  highSurrogate_ = 0;
  oddByte_ = -1;
  return decoded_;
}

std::string_view TextDecoder::DecodeText(std::string_view bytes) {
  if (!IsUtf16(*encoding_)) return bytes;
  decoded_.clear();
  DecodeUtf16(bytes);
  return decoded_;
}

void TextDecoder::DecodeUtf16(std::string_view bytes) {
  const bool bigEndian = *encoding_ == FileEncoding::kUtf16BigEndian;
  for (char byte : bytes) {
    if (oddByte_ < 0) {
      oddByte_ = static_cast<unsigned char>(byte);
      continue;
    }
    const unsigned second = static_cast<unsigned char>(byte);
    const char32_t unit =
        bigEndian ? (unsigned(oddByte_) << 8 | second) : (second << 8 | unsigned(oddByte_));
    oddByte_ = -1;
    const bool high = unit >= 0xD800 && unit < 0xDC00;
    const bool low = unit >= 0xDC00 && unit < 0xE000;
    if (highSurrogate_ != 0 && low) {
      utf8::Append(decoded_, 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00));
      highSurrogate_ = 0;
      continue;
    }
    if (highSurrogate_ != 0 || low) Damaged();
    highSurrogate_ = high ? unit : 0;
    if (!high && !low) utf8::Append(decoded_, unit);
  }
}

void TextDecoder::Damaged() {
  damaged_ = true;
  utf8::Append(decoded_, utf8::kReplacement);
}

void TextEncoder::Encode(std::string_view text, std::string& out) {
  if (!markWritten_) {
    out += MarkOf(encoding_);
    markWritten_ = true;
  }
  if (IsUtf16(encoding_)) {
    AppendUtf16(text, encoding_ == FileEncoding::kUtf16BigEndian, out);
  } else {
    out += text;
  }
}

std::string ValueFromFile(std::string_view bytes, FileEncoding encoding, const CodePage& codePage,
                          BufferFill fill) {
  if (encoding != FileEncoding::kEightBit) return std::string(bytes);
  return ValueFromCodePage(bytes, codePage, fill);
}

std::string ValueForFile(std::string_view text, FileEncoding encoding, const CodePage& codePage) {
  if (encoding != FileEncoding::kEightBit) return std::string(text);
  return ValueToCodePage(text, codePage);
}

}  // namespace platform::profile_text
