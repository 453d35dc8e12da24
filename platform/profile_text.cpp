#include "platform/profile_text.h"

#include <algorithm>
#include <utility>

namespace platform::profile_text {
namespace {

bool IsQuote(char byte) { return byte == '"' || byte == '\''; }

char AsciiLower(char byte) { return byte >= 'A' && byte <= 'Z' ? char(byte - 'A' + 'a') : byte; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

std::string_view CutAtNul(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view Trim(std::string_view text) { return TrimLeft(TrimRight(text)); }

// The default is a C string to the Windows service, which drops only its
// trailing spaces.
std::string_view TrimTrailingSpaces(std::string_view text) {
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

std::size_t MaxLength(int bufferSize) {
  return bufferSize > 0 ? static_cast<std::size_t>(bufferSize) - 1 : 0;
}

// Names given by the caller are C strings to the Windows service, and it
// ignores blanks around them.
std::string CleanName(std::string_view name) { return std::string(Trim(CutAtNul(name))); }

std::string CleanValue(std::string_view value) {
  std::string clean(TrimLeft(CutAtNul(value)));
  std::replace_if(clean.begin(), clean.end(), IsBreak, ' ');
  return std::string(TrimLeft(clean));
}

bool Names(const Entry& entry, std::string_view name) {
  return entry.nameWhole && EqualsIgnoringCase(entry.name, name);
}

bool IsHeaderNaming(const Entry& entry, std::string_view section) {
  return entry.kind == Entry::Kind::kHeader && Names(entry, section);
}

bool IsKeyNaming(const Entry& entry, std::string_view key) {
  return (entry.kind == Entry::Kind::kPair || entry.kind == Entry::Kind::kBareName) &&
         Names(entry, key);
}

// A pair's value as the service returns it: one pair of matching quotes
// removed, cut to `maxLength`. A value the line did not keep whole is longer
// than any buffer, so its closing quote is its last non-blank byte.
std::string ValueAsRead(const Entry& entry, std::size_t maxLength) {
  std::string_view value = entry.value;
  if (!value.empty() && IsQuote(value.front())) {
    if (!entry.valueWhole && value.front() == entry.valueLast) {
      value.remove_prefix(1);
    } else if (entry.valueWhole && value.size() >= 2 && value.front() == value.back()) {
      value = value.substr(1, value.size() - 2);
    }
  }
  return std::string(value.substr(0, maxLength));
}

bool Holds(const Entry& entry, std::string_view value) {
  return entry.valueWhole && entry.value == value;
}

Entry Named(Entry::Kind kind, std::string_view name, bool whole = true) {
  Entry entry;
  entry.kind = kind;
  entry.name = name;
  entry.nameWhole = whole;
  return entry;
}

// Whether the line's text ends in a part that went on past what was kept
// before any NUL: the name or value there is longer than any compared.
bool GoesOnUncut(const Line& line) {
  return line.cut && line.text.find('\0') == std::string_view::npos;
}

Entry PairOrBareName(const Line& line) {
  const std::string_view text = line.text;
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    return Named(Entry::Kind::kBareName, Trim(CutAtNul(text)), !GoesOnUncut(line));
  }
  Entry entry = Named(Entry::Kind::kPair, Trim(CutAtNul(text.substr(0, equals))));
  const std::string_view rest = text.substr(equals + 1);
  const std::size_t nul = rest.find('\0');
  entry.valueWhole = !line.cut || nul != std::string_view::npos;
  if (entry.valueWhole) {
    entry.value = Trim(rest.substr(0, nul));
    return entry;
  }
  entry.value = TrimLeft(rest);
  const std::string_view kept = TrimRight(entry.value);
  entry.valueLast = line.restLastNonBlank != 0 ? line.restLastNonBlank
                    : kept.empty()             ? '\0'
                                               : kept.back();
  return entry;
}

// Names that would not read back as the same key once written.
std::string WhyUnstorable(std::string_view section, std::string_view key) {
  if (section.find_first_of("\r\n") != std::string_view::npos) {
    return "A section name cannot hold a line break";
  }
  if (key.find_first_of("\r\n=") != std::string_view::npos) {
    return "A key name cannot hold '=' or a line break";
  }
  if (!key.empty() && (key.front() == ';' || key.front() == '[')) {
    return "A key name cannot start with ';' or '['";
  }
  return "";
}

WritePlan Refused(std::string reason) {
  return {.kind = WritePlan::Kind::kRefused, .edit = {}, .reason = std::move(reason)};
}

WritePlan Planned(Edit edit) {
  return {.kind = WritePlan::Kind::kEdit, .edit = std::move(edit), .reason = {}};
}

std::size_t LongestName(std::string_view section, std::span<const std::string> keys) {
  std::size_t longest = section.size();
  for (const std::string& key : keys) longest = std::max(longest, key.size());
  return longest;
}

std::vector<std::string> CleanNames(std::span<const std::string_view> names) {
  std::vector<std::string> clean;
  clean.reserve(names.size());
  for (std::string_view name : names) clean.push_back(CleanName(name));
  return clean;
}

// Before the section, only a header can matter.
bool MayBeHeader(const Line& line) { return line.text.front() == '['; }

}  // namespace

Entry Parse(const Line& line) {
  const std::string_view text = line.text;
  if (text.front() == ';') return {};
  if (text.front() == '[') {
    // A ']' in a dropped part comes after the first NUL, which ends the
    // name, or after a cut, past which the name is too long to name anything.
    const std::size_t close = line.bracketInRest ? std::string_view::npos : text.rfind(']');
    if (close != std::string_view::npos || line.bracketInRest) {
      return Named(Entry::Kind::kHeader, Trim(CutAtNul(text.substr(1, close - 1))),
                   !(line.bracketInRest && GoesOnUncut(line)));
    }
  }
  return PairOrBareName(line);
}

SectionReader::SectionReader(std::string_view section, std::span<const std::string_view> keys,
                             int bufferSize)
    : section_(CleanName(section)),
      keys_(CleanNames(keys)),
      maxLength_(MaxLength(bufferSize)),
      settled_(keys.size(), false),
      values_(keys.size()),
      lines_(std::max(LongestName(section_, keys_), maxLength_),
             [this](const Line& line) { OnLine(line); }) {}

void SectionReader::Feed(std::string_view bytes) { lines_.Feed(decoder_.Decode(bytes)); }

void SectionReader::OnLine(const Line& line) {
  if (state_ == State::kDone || (state_ == State::kSeeking && !MayBeHeader(line))) return;
  const Entry entry = Parse(line);
  if (state_ == State::kSeeking) {
    if (IsHeaderNaming(entry, section_)) state_ = State::kInSection;
    return;
  }
  if (entry.kind == Entry::Kind::kHeader) {
    state_ = State::kDone;
    return;
  }
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    if (settled_[i] || !IsKeyNaming(entry, keys_[i])) continue;
    settled_[i] = true;
    if (entry.kind == Entry::Kind::kPair) values_[i] = ValueAsRead(entry, maxLength_);
  }
  if (std::all_of(settled_.begin(), settled_.end(), [](bool settled) { return settled; })) {
    state_ = State::kDone;
  }
}

std::vector<std::optional<std::string>> SectionReader::Finish() {
  lines_.Feed(decoder_.Finish());
  lines_.Finish();
  return std::move(values_);
}

std::string DefaultValue(std::string_view lpDefault, int bufferSize) {
  return std::string(TrimTrailingSpaces(CutAtNul(lpDefault)).substr(0, MaxLength(bufferSize)));
}

WritePlanner::WritePlanner(std::string_view section, std::string_view key, std::string_view value)
    : section_(CleanName(section)),
      key_(CleanName(key)),
      value_(CleanValue(value)),
      refusal_(WhyUnstorable(section_, key_)),
      lines_(std::max({section_.size(), key_.size(), value_.size()}),
             [this](const Line& line) { OnLine(line); }) {}

void WritePlanner::Feed(std::string_view bytes) {
  if (refusal_.empty()) lines_.Feed(decoder_.Decode(bytes));
}

// UTF-16 content is read to its end, where damage may still show.
bool WritePlanner::done() const {
  const bool utf16 = decoder_.encoding() && IsUtf16(*decoder_.encoding());
  return !refusal_.empty() ||
         (!utf16 && (state_ == State::kFound || state_ == State::kPastSection));
}

void WritePlanner::OnLine(const Line& line) {
  if (state_ == State::kFound || state_ == State::kPastSection) return;
  if (state_ == State::kSeeking && !MayBeHeader(line)) return;
  const Entry entry = Parse(line);
  if (state_ == State::kSeeking) {
    if (IsHeaderNaming(entry, section_)) {
      state_ = State::kInSection;
      NoteLastLine(line);
    }
  } else if (entry.kind == Entry::Kind::kHeader) {
    state_ = State::kPastSection;
  } else if (IsKeyNaming(entry, key_)) {
    state_ = State::kFound;
    // The whole line becomes "name=value", the name spelled as in the file.
    if (entry.kind == Entry::Kind::kBareName || !Holds(entry, value_)) {
      replacement_ = Edit{.offset = line.begin,
                          .length = line.contentEnd - line.begin,
                          .text = std::string(entry.name) + "=" + value_};
    }
  } else {
    NoteLastLine(line);
  }
}

void WritePlanner::NoteLastLine(const Line& line) {
  insertAt_ = line.contentEnd + line.newline.size();
  insertNewline_ = line.newline;
}

WritePlan WritePlanner::Finish() {
  if (!refusal_.empty()) return Refused(refusal_);
  lines_.Feed(decoder_.Finish());
  lines_.Finish();
  // Decoding damaged UTF-16 replaced characters; writing it back would lose them.
  if (decoder_.damaged()) return Refused("Damaged UTF-16 text is not rewritten");
  const std::string newline(lines_.lastNewline());
  switch (state_) {
    case State::kFound:
      if (replacement_) return Planned(*replacement_);
      return {};
    case State::kInSection:
    case State::kPastSection:
      // After a line with its own break, the key line takes the same break.
      return Planned({.offset = insertAt_,
                      .length = 0,
                      .text = insertNewline_.empty() ? newline + KeyLine() + newline
                                                     : KeyLine() + insertNewline_});
    case State::kSeeking: break;
  }
  return Planned({.offset = lines_.size(),
                  .length = 0,
                  .text = (lines_.endsInBreak() ? "" : newline) + "[" + section_ + "]" + newline +
                          KeyLine() + newline});
}

std::string WritePlanner::KeyLine() const { return key_ + "=" + value_; }

void Rewriter::Feed(std::string_view bytes, std::string& out) {
  const std::string_view text = decoder_.Decode(bytes);
  if (decoder_.encoding()) Rewrite(text, out);
}

void Rewriter::Finish(std::string& out) {
  Rewrite(decoder_.Finish(), out);
  if (!edited_) Emit(edit_.text, out);
}

// `text` continues the file's text at offset_.
void Rewriter::Rewrite(std::string_view text, std::string& out) {
  Emit({}, out);  // the mark, before any text
  while (!text.empty()) {
    if (!edited_ && offset_ == edit_.offset) {
      Emit(edit_.text, out);
      edited_ = true;
      toSkip_ = edit_.length;
    }
    const std::size_t skipped = std::min(toSkip_, text.size());
    const std::size_t kept =
        std::min(edited_ ? text.size() : edit_.offset - offset_, text.size() - skipped);
    Emit(text.substr(skipped, kept), out);
    toSkip_ -= skipped;
    offset_ += skipped + kept;
    text.remove_prefix(skipped + kept);
  }
}

void Rewriter::Emit(std::string_view text, std::string& out) {
  if (!encoder_) encoder_.emplace(*decoder_.encoding());
  encoder_->Encode(text, out);
}

std::string ReadValue(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view defaultValue, int bufferSize) {
  const std::string_view keys[] = {key};
  SectionReader reader(section, keys, bufferSize);
  reader.Feed(content);
  std::optional<std::string> value = std::move(reader.Finish().front());
  return value ? *value : DefaultValue(defaultValue, bufferSize);
}

WritePlan PlanWrite(std::string_view content, std::string_view section, std::string_view key,
                    std::string_view value) {
  WritePlanner planner(section, key, value);
  planner.Feed(content);
  return planner.Finish();
}

std::string ApplyEdit(std::string_view content, const Edit& edit) {
  Rewriter rewriter(edit);
  std::string result;
  rewriter.Feed(content, result);
  rewriter.Finish(result);
  return result;
}

}  // namespace platform::profile_text
