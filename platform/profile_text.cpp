#include "platform/profile_text.h"

#include <algorithm>
#include <utility>

namespace platform::profile_text {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsBlank(char byte) {
  switch (byte) {
    case ' ':
    case '\t':
    case '\r':
    case '\n':
    case '\v':
    case '\f':
    case '\x1A': return true;
    default: return false;
  }
}

bool IsBreak(char byte) { return byte == '\r' || byte == '\n'; }

// The first CR or LF, or the size. memchr is fast, but looks for one byte:
// a window keeps a file with only the other break from being searched to its
// end for every line.
std::size_t FindBreak(std::string_view bytes) {
  constexpr std::size_t kWindow = 256;
  for (std::size_t at = 0; at < bytes.size(); at += kWindow) {
    const std::string_view window = bytes.substr(at, kWindow);
    const std::size_t lf = window.find('\n');
    const std::size_t cr = window.substr(0, lf).find('\r');
    if (cr != std::string_view::npos) return at + cr;
    if (lf != std::string_view::npos) return at + lf;
  }
  return bytes.size();
}

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += char(code);
  } else if (code < 0x800) {
    out += char(0xC0 | code >> 6);
    out += char(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += char(0xE0 | code >> 12);
    out += char(0x80 | (code >> 6 & 0x3F));
    out += char(0x80 | (code & 0x3F));
  } else {
    out += char(0xF0 | code >> 18);
    out += char(0x80 | (code >> 12 & 0x3F));
    out += char(0x80 | (code >> 6 & 0x3F));
    out += char(0x80 | (code & 0x3F));
  }
}

// Whether `head` is a UTF-16 byte-order mark, big-endian or not.
std::optional<bool> Utf16Mark(std::string_view head) {
  if (head == "\xFF\xFE") return false;
  if (head == "\xFE\xFF") return true;
  return std::nullopt;
}

bool MayStartUtf16Mark(std::string_view head) { return head == "\xFF" || head == "\xFE"; }

// Takes one character off the front of UTF-8 text; a byte that does not
// start a well-formed character reads as U+FFFD.
char32_t NextCodePoint(std::string_view& utf8) {
  const auto byte = [&utf8](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
  const unsigned lead = byte(0);
  const std::size_t length = lead < 0x80   ? 1
                             : lead < 0xC2 ? 0
                             : lead < 0xE0 ? 2
                             : lead < 0xF0 ? 3
                             : lead < 0xF5 ? 4
                                           : 0;
  char32_t code = length == 1 ? lead : lead & (0x7F >> length);
  bool wellFormed = length != 0 && length <= utf8.size();
  for (std::size_t i = 1; wellFormed && i < length; ++i) {
    wellFormed = (byte(i) & 0xC0) == 0x80;
    code = code << 6 | (byte(i) & 0x3F);
  }
  // Overlong forms, surrogates and code points past U+10FFFF.
  wellFormed = wellFormed &&
               !(length == 3 && (code < 0x800 || (code >= 0xD800 && code < 0xE000))) &&
               !(length == 4 && (code < 0x10000 || code > 0x10FFFF));
  if (!wellFormed) {
    utf8.remove_prefix(1);
    return kReplacement;
  }
  utf8.remove_prefix(length);
  return code;
}

bool IsQuote(char byte) { return byte == '"' || byte == '\''; }

char AsciiLower(char byte) { return byte >= 'A' && byte <= 'Z' ? char(byte - 'A' + 'a') : byte; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::string_view CutAtNul(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The service trims a default of spaces only, not of other blanks.
std::string_view TrimTrailingSpaces(std::string_view text) {
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

// Names given by the caller are C strings to the Windows service, and it
// ignores blanks around them.
std::string CleanName(std::string_view name) {
  return std::string(TrimLeft(TrimRight(CutAtNul(name))));
}

std::string CleanValue(std::string_view value) {
  std::string clean(TrimLeft(CutAtNul(value)));
  for (char& byte : clean) {
    if (IsBreak(byte)) byte = ' ';
  }
  return std::string(TrimLeft(clean));
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

}  // namespace

void BoundedField::Reset() {
  kept_.clear();
  overflowed_ = false;
  ended_ = false;
  lastNonBlank_ = 0;
}

void BoundedField::Add(char byte) {
  if (ended_) return;
  if (byte == '\0') {
    ended_ = true;
    return;
  }
  const bool blank = IsBlank(byte);
  if (kept_.empty() && blank) return;
  if (kept_.size() < cap_) {
    kept_ += byte;
  } else if (!blank) {
    overflowed_ = true;
  }
  if (!blank) lastNonBlank_ = byte;
}

bool BoundedField::MatchesUpTo(std::size_t keptSize, bool overflowed, std::string_view name) const {
  return !overflowed &&
         EqualsIgnoringCase(TrimRight(std::string_view(kept_).substr(0, keptSize)), name);
}

bool BoundedField::Holds(std::string_view text) const { return !overflowed_ && Trimmed() == text; }

std::string_view BoundedField::Trimmed() const { return TrimRight(kept_); }

std::string BoundedField::Value(std::size_t maxLength) const {
  std::string_view value = kept_;
  if (overflowed_) {
    // The real value is longer than the cap: its first byte is kept, its last
    // non-blank byte remembered.
    if (IsQuote(value.front()) && value.front() == lastNonBlank_) value.remove_prefix(1);
  } else {
    value = TrimRight(value);
    if (value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back()) {
      value = value.substr(1, value.size() - 2);
    }
  }
  return std::string(value.substr(0, maxLength));
}

LineScanner::LineScanner(std::string_view section, std::string_view key, std::size_t valueCap,
                         Sink sink)
    : section_(section),
      key_(key),
      sink_(std::move(sink)),
      header_(section.size() + 1),
      name_(key.size() + 1),
      value_(valueCap) {}

void LineScanner::Feed(std::string_view bytes) {
  for (; !headDone_ && !bytes.empty(); bytes.remove_prefix(1)) FeedHead(bytes.front());
  if (utf16_) {
    decoded_.clear();
    utf16_->Decode(bytes, decoded_);
    FeedText(decoded_);
  } else {
    FeedText(bytes);
  }
}

void LineScanner::FeedText(std::string_view bytes) {
  while (!bytes.empty()) {
    if (skipToBreak_) {
      bytes.remove_prefix(SkipToBreak(bytes));
    } else {
      Consume(bytes.front());
      bytes.remove_prefix(1);
    }
  }
}

void Utf16Decoder::Decode(std::string_view bytes, std::string& out) {
  for (char byte : bytes) {
    if (oddByte_ < 0) {
      oddByte_ = static_cast<unsigned char>(byte);
      continue;
    }
    const unsigned second = static_cast<unsigned char>(byte);
    const char32_t unit =
        bigEndian_ ? (unsigned(oddByte_) << 8 | second) : (second << 8 | unsigned(oddByte_));
    oddByte_ = -1;
    const bool high = unit >= 0xD800 && unit < 0xDC00;
    const bool low = unit >= 0xDC00 && unit < 0xE000;
    if (highSurrogate_ != 0 && low) {
      AppendUtf8(out, 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00));
      highSurrogate_ = 0;
      continue;
    }
    if (highSurrogate_ != 0 || low) Damaged(out);
    highSurrogate_ = high ? unit : 0;
    if (!high && !low) AppendUtf8(out, unit);
  }
}

void Utf16Decoder::Finish(std::string& out) {
  // A lone high surrogate and an odd last byte are two damaged places.
  if (highSurrogate_ != 0) Damaged(out);
  if (oddByte_ >= 0) Damaged(out);
  highSurrogate_ = 0;
  oddByte_ = -1;
}

void Utf16Decoder::Damaged(std::string& out) {
  damaged_ = true;
  AppendUtf8(out, kReplacement);
}

void AppendUtf16(std::string_view utf8, bool bigEndian, std::string& out) {
  const auto appendUnit = [bigEndian, &out](char32_t unit) {
    const char high = char(unit >> 8);
    const char low = char(unit & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  };
  while (!utf8.empty()) {
    const char32_t code = NextCodePoint(utf8);
    if (code < 0x10000) {
      appendUnit(code);
    } else {
      appendUnit(0xD800 + ((code - 0x10000) >> 10));
      appendUnit(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
  }
}

// The rest of a comment, or the value of another key, cannot change what is
// looked for: only where the line ends counts. Returns the bytes passed.
std::size_t LineScanner::SkipToBreak(std::string_view bytes) {
  const std::size_t passed = FindBreak(bytes);
  if (passed < bytes.size()) skipToBreak_ = false;
  if (passed > 0) endsInBreak_ = false;
  offset_ += passed;
  return passed;
}

void LineScanner::Finish() {
  if (!headDone_) {
    headDone_ = true;
    for (char byte : head_) Consume(byte);
  }
  if (utf16_) {
    decoded_.clear();
    utf16_->Finish(decoded_);
    FeedText(decoded_);
  }
  if (pending_) {
    Emit();
  } else if (inLine_) {
    EndLine("");
    Emit();
  }
}

// Holds back the first bytes until it is clear whether they are a UTF-8 or a
// UTF-16 byte-order mark.
void LineScanner::FeedHead(char byte) {
  head_ += byte;
  if (head_ == kUtf8Mark) {
    headDone_ = true;
    offset_ = kUtf8Mark.size();
    lineBegin_ = offset_;
    return;
  }
  if (const std::optional<bool> bigEndian = Utf16Mark(head_)) {
    headDone_ = true;
    utf16_.emplace(*bigEndian);
    return;
  }
  if (kUtf8Mark.starts_with(head_) || MayStartUtf16Mark(head_)) return;
  headDone_ = true;
  for (char held : head_) Consume(held);
}

void LineScanner::Consume(char byte) {
  if (pending_) {
    if (pendingAfterCr_ && byte == '\n') line_.newline = "\r\n";
    Emit();
  }
  if (IsBreak(byte)) {
    lineBegin_ = offset_ + 1;
    if (inLine_) {
      EndLine(byte == '\r' ? "\r" : "\n");
      pending_ = true;
      pendingAfterCr_ = byte == '\r';
    }
    endsInBreak_ = true;
  } else {
    if (inLine_) {
      AddToLine(byte);
    } else if (!IsBlank(byte)) {
      StartLine(byte);
    }
    endsInBreak_ = false;
  }
  ++offset_;
}

void LineScanner::StartLine(char byte) {
  inLine_ = true;
  line_ = Line{};
  line_.begin = lineBegin_;
  comment_ = byte == ';';
  skipToBreak_ = comment_;
  bracketLine_ = byte == '[';
  seenEquals_ = false;
  seenBracket_ = false;
  header_.Reset();
  name_.Reset();
  value_.Reset();
  if (bracketLine_) {
    // The '[' opens a header, or is the first byte of an ordinary name.
    name_.Add(byte);
  } else {
    AddToLine(byte);
  }
}

void LineScanner::AddToLine(char byte) {
  if (comment_) return;
  if (bracketLine_) {
    if (byte == ']') {
      seenBracket_ = true;
      bracketKeptSize_ = header_.keptSize();
      bracketOverflowed_ = header_.overflowed();
    }
    header_.Add(byte);
  }
  if (seenEquals_) {
    value_.Add(byte);
  } else if (byte == '=') {
    seenEquals_ = true;
    skipToBreak_ = !bracketLine_ && !name_.Matches(key_);
  } else {
    name_.Add(byte);
  }
}

void LineScanner::EndLine(std::string_view newline) {
  inLine_ = false;
  line_.contentEnd = offset_;
  line_.newline = newline;
  if (comment_) {
    line_.kind = Line::Kind::kComment;
  } else if (bracketLine_ && seenBracket_) {
    line_.kind = Line::Kind::kHeader;
    line_.namesSection = header_.MatchesUpTo(bracketKeptSize_, bracketOverflowed_, section_);
  } else {
    line_.kind = seenEquals_ ? Line::Kind::kPair : Line::Kind::kBareName;
    line_.namesKey = name_.Matches(key_);
    line_.name = &name_;
    if (seenEquals_) line_.value = &value_;
  }
}

void LineScanner::Emit() {
  pending_ = false;
  if (!line_.newline.empty()) lastNewline_ = line_.newline;
  sink_(line_);
}

ValueReader::ValueReader(std::string_view section, std::string_view key,
                         std::string_view defaultValue, int bufferSize)
    : default_(TrimTrailingSpaces(CutAtNul(defaultValue))),
      maxLength_(bufferSize > 0 ? std::size_t(bufferSize) - 1 : 0),
      scanner_(CleanName(section), CleanName(key), maxLength_ + 1,
               [this](const Line& line) { OnLine(line); }) {}

void ValueReader::OnLine(const Line& line) {
  if (state_ == State::kSeeking) {
    if (line.kind == Line::Kind::kHeader && line.namesSection) state_ = State::kInSection;
  } else if (state_ == State::kInSection) {
    if (line.kind == Line::Kind::kHeader) {
      state_ = State::kDone;
    } else if (line.namesKey) {
      // A bare name hides any later line of the same name.
      found_ = line.kind == Line::Kind::kPair;
      if (found_) value_ = line.value->Value(maxLength_);
      state_ = State::kDone;
    }
  }
}

std::string ValueReader::Finish() {
  scanner_.Finish();
  return found_ ? value_ : default_.substr(0, maxLength_);
}

WritePlanner::WritePlanner(std::string_view section, std::string_view key, std::string_view value)
    : section_(CleanName(section)),
      key_(CleanName(key)),
      value_(CleanValue(value)),
      refusal_(WhyUnstorable(section_, key_)),
      scanner_(section_, key_, value_.size() + 1, [this](const Line& line) { OnLine(line); }) {}

void WritePlanner::Feed(std::string_view bytes) {
  if (refusal_.empty()) scanner_.Feed(bytes);
}

// UTF-16 content is read to its end, where damage may still show.
bool WritePlanner::done() const {
  return !refusal_.empty() ||
         (!scanner_.isUtf16() && (state_ == State::kFound || state_ == State::kPastSection));
}

void WritePlanner::OnLine(const Line& line) {
  if (state_ == State::kSeeking) {
    if (line.kind == Line::Kind::kHeader && line.namesSection) {
      state_ = State::kInSection;
      NoteLastLine(line);
    }
  } else if (state_ == State::kInSection) {
    if (line.kind == Line::Kind::kHeader) {
      state_ = State::kPastSection;
    } else if (line.namesKey) {
      state_ = State::kFound;
      // The whole line becomes "name=value", the name spelled as in the file.
      if (line.kind == Line::Kind::kBareName || !line.value->Holds(value_)) {
        replacement_ = Edit{.offset = line.begin,
                            .length = line.contentEnd - line.begin,
                            .text = std::string(line.name->Trimmed()) + "=" + value_};
      }
    } else {
      NoteLastLine(line);
    }
  }
}

void WritePlanner::NoteLastLine(const Line& line) {
  insertAt_ = line.contentEnd + line.newline.size();
  insertNewline_ = line.newline;
}

WritePlan WritePlanner::Finish() {
  if (!refusal_.empty()) return Refused(refusal_);
  scanner_.Finish();
  // Decoding damaged UTF-16 replaced characters; writing it back would lose them.
  if (scanner_.isDamagedUtf16()) return Refused("Damaged UTF-16 text is not rewritten");
  const std::string newline(scanner_.newline());
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
                                                     : KeyLine() + std::string(insertNewline_)});
    case State::kSeeking: break;
  }
  return Planned({.offset = scanner_.size(),
                  .length = 0,
                  .text = (scanner_.endsInBreak() ? "" : newline) + "[" + section_ + "]" + newline +
                          KeyLine() + newline});
}

std::string WritePlanner::KeyLine() const { return key_ + "=" + value_; }

std::string ReadValue(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view defaultValue, int bufferSize) {
  ValueReader reader(section, key, defaultValue, bufferSize);
  reader.Feed(content);
  return reader.Finish();
}

WritePlan PlanWrite(std::string_view content, std::string_view section, std::string_view key,
                    std::string_view value) {
  WritePlanner planner(section, key, value);
  planner.Feed(content);
  return planner.Finish();
}

void Rewriter::Feed(std::string_view bytes, std::string& out) {
  for (; !headDone_ && !bytes.empty(); bytes.remove_prefix(1)) {
    head_ += bytes.front();
    if (MayStartUtf16Mark(head_)) continue;
    headDone_ = true;
    if (const std::optional<bool> bigEndian = Utf16Mark(head_)) {
      utf16_.emplace(*bigEndian);
      out += head_;
    } else {
      FeedText(head_, out);
    }
  }
  if (utf16_) {
    decoded_.clear();
    utf16_->Decode(bytes, decoded_);
    FeedText(decoded_, out);
  } else {
    FeedText(bytes, out);
  }
}

void Rewriter::Finish(std::string& out) {
  if (!headDone_) {
    headDone_ = true;
    FeedText(head_, out);
  }
  if (utf16_) {
    decoded_.clear();
    utf16_->Finish(decoded_);
    FeedText(decoded_, out);
  }
  if (!edited_) Emit(edit_.text, out);
}

// `text` continues the content at offset_, in the offsets the edit uses.
void Rewriter::FeedText(std::string_view text, std::string& out) {
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

void Rewriter::Emit(std::string_view text, std::string& out) const {
  if (utf16_) {
    AppendUtf16(text, utf16_->bigEndian(), out);
  } else {
    out += text;
  }
}

std::string ApplyEdit(std::string_view content, const Edit& edit) {
  Rewriter rewriter(edit);
  std::string result;
  rewriter.Feed(content, result);
  rewriter.Finish(result);
  return result;
}

}  // namespace platform::profile_text
