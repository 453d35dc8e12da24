// game.ini's writer on arbitrary files: after one write, the written key
// reads back as written (less the blanks around it and one pair of quotes),
// every other key of the file reads as before, so no line break in a value
// can create a key, and the plan does not depend on how the file arrives.
// Input: section NUL key NUL value NUL file content.
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "fuzz/fuzz_input.h"
#include "fuzz/profile_text_reference.h"
#include "platform/profile_text.h"

namespace {

namespace reference = fuzz::reference;
using platform::profile_text::WritePlan;
using platform::profile_text::WritePlanner;

// As the file service plans: in pieces, stopping once the plan is known.
WritePlan PlanInPieces(std::string_view content, std::string_view section, std::string_view key,
                       std::string_view value, std::size_t piece) {
  WritePlanner planner(section, key, value);
  for (std::size_t at = 0; at < content.size() && !planner.done(); at += piece) {
    planner.Feed(content.substr(at, piece));
  }
  return planner.Finish();
}

bool SamePlan(const WritePlan& a, const WritePlan& b) {
  return a.kind == b.kind && a.edit.offset == b.edit.offset && a.edit.length == b.edit.length &&
         a.edit.text == b.edit.text && a.reason == b.reason;
}

// What a read gives back for a written value: it ends at a NUL, line breaks
// became blanks, blanks around it and one pair of quotes are gone.
std::string ReadBack(std::string_view value) {
  std::string stored(reference::CutAtNul(value));
  for (char& byte : stored) {
    if (byte == '\r' || byte == '\n') byte = ' ';
  }
  return std::string(reference::Unquoted(reference::Trim(stored)));
}

using Names = std::set<std::pair<std::string, std::string>>;

// Every (section, key) a file names, and each piece of the value between
// line breaks and '=' as a key of the written section and of none.
void AddNames(std::string_view content, Names& names) {
  const std::string text = reference::Text(content);
  std::string_view section;
  for (std::string_view line : reference::Lines(text)) {
    const reference::Entry entry = reference::Parse(line);
    if (entry.kind == reference::Entry::Kind::kHeader) section = entry.name;
    if (entry.kind != reference::Entry::Kind::kComment) {
      names.emplace(std::string(section), std::string(entry.name));
    }
  }
}

void AddPieces(std::string_view value, std::string_view section, Names& names) {
  std::size_t start = 0;
  for (std::size_t i = 0; i <= value.size(); ++i) {
    if (i < value.size() && value[i] != '\r' && value[i] != '\n' && value[i] != '=') continue;
    const std::string piece(reference::Trim(value.substr(start, i - start)));
    names.emplace(std::string(section), piece);
    names.emplace("", piece);
    start = i + 1;
  }
}

std::string Read(std::string_view content, std::string_view section, std::string_view key,
                 int bufferSize = 255) {
  return platform::profile_text::ReadValue(content, section, key, "\x01", bufferSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto fields = fuzz::Fields(fuzz::AsText(data, size), 4);
  const std::string_view section = fields[0], key = fields[1], value = fields[2],
                         content = fields[3];
  const WritePlan plan = platform::profile_text::PlanWrite(content, section, key, value);
  for (std::size_t piece : {std::size_t(1), 1 + content.size() % 13}) {
    fuzz::Check(SamePlan(PlanInPieces(content, section, key, value, piece), plan),
                "the plan does not depend on how the file is cut");
  }
  if (plan.kind == WritePlan::Kind::kRefused) {
    fuzz::Check(!plan.reason.empty(), "a refusal says why");
    return 0;
  }
  const std::string after = plan.kind == WritePlan::Kind::kEdit
                                ? platform::profile_text::ApplyEdit(content, plan.edit)
                                : std::string(content);
  // A UTF-16 file stores what is not UTF-8 as U+FFFD.
  const auto stored = [&content](std::string_view text) {
    return reference::IsUtf16(content) ? reference::WellFormedUtf8(text) : std::string(text);
  };
  const auto name = [](std::string_view text) {
    return reference::Trim(reference::CutAtNul(text));
  };
  const std::string writtenSection = stored(name(section));
  const std::string writtenKey = stored(name(key));
  fuzz::Check(Read(after, writtenSection, writtenKey, 1 << 30) == stored(ReadBack(value)),
              "the written key reads back as written");

  Names names;
  AddNames(content, names);
  AddNames(after, names);
  AddPieces(value, writtenSection, names);
  for (const auto& [otherSection, otherKey] : names) {
    if (reference::SameName(otherSection, writtenSection) &&
        reference::SameName(otherKey, writtenKey)) {
      continue;
    }
    fuzz::Check(Read(after, otherSection, otherKey) == Read(content, otherSection, otherKey),
                "every other key reads as before");
  }
  return 0;
}
