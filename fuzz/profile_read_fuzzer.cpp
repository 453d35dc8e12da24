// game.ini's reader on arbitrary bytes: it never crashes, agrees with the
// plain reference reading, keeps to its buffer size, and gives the same
// answer however the file arrives in pieces.
// Input: section NUL key NUL default NUL file content.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "fuzz/profile_text_reference.h"
#include "platform/profile_text.h"

namespace {

using platform::profile_text::DefaultValue;
using platform::profile_text::SectionReader;

// As the file service reads: in pieces, stopping once the answer is known.
std::string ReadInPieces(std::string_view content, std::string_view section, std::string_view key,
                         std::string_view defaultValue, int bufferSize, std::size_t piece) {
  const std::string_view keys[] = {key};
  SectionReader reader(section, keys, bufferSize);
  for (std::size_t at = 0; at < content.size() && !reader.done(); at += piece) {
    reader.Feed(content.substr(at, piece));
  }
  return reader.Finish().front().value_or(DefaultValue(defaultValue, bufferSize));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto fields = fuzz::Fields(fuzz::AsText(data, size), 4);
  const std::string_view section = fields[0], key = fields[1], defaultValue = fields[2],
                         content = fields[3];
  for (int bufferSize : {255, int(content.size() % 7)}) {
    const std::string expected =
        fuzz::reference::Read(content, section, key, defaultValue, bufferSize);
    const std::string whole =
        platform::profile_text::ReadValue(content, section, key, defaultValue, bufferSize);
    fuzz::Check(whole == expected, "the reader agrees with the reference reading");
    fuzz::Check(whole.size() < std::size_t(std::max(bufferSize, 1)), "the value fits the buffer");
    for (std::size_t piece : {std::size_t(1), 1 + content.size() % 13}) {
      fuzz::Check(ReadInPieces(content, section, key, defaultValue, bufferSize, piece) == whole,
                  "the value does not depend on how the file is cut");
    }
  }
  return 0;
}
