#include "platform/byte_order_mark.h"

namespace platform {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

}  // namespace

FileEncoding EncodingOf(std::string_view head) {
  if (head.starts_with(kUtf8Mark)) return FileEncoding::kUtf8Mark;
  if (head.starts_with(kUtf16LittleEndianMark)) return FileEncoding::kUtf16LittleEndian;
  if (head.starts_with(kUtf16BigEndianMark)) return FileEncoding::kUtf16BigEndian;
  return FileEncoding::kEightBit;
}

bool IsUtf16(FileEncoding encoding) {
  return encoding == FileEncoding::kUtf16LittleEndian || encoding == FileEncoding::kUtf16BigEndian;
}

std::string_view MarkOf(FileEncoding encoding) {
  switch (encoding) {
    case FileEncoding::kEightBit: break;
    case FileEncoding::kUtf8Mark: return kUtf8Mark;
    case FileEncoding::kUtf16LittleEndian: return kUtf16LittleEndianMark;
    case FileEncoding::kUtf16BigEndian: return kUtf16BigEndianMark;
  }
  return {};
}

}  // namespace platform
