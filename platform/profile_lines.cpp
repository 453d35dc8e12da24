#include "platform/profile_lines.h"

#include <algorithm>

namespace platform::profile_text {
namespace {

constexpr std::string_view kBlanks{" \t\r\n\v\f\x1A", 7};

// How many lengths of `detail` a shortened line keeps: enough for a name of
// that length with a run of blanks on either side, '=', a run of blanks and
// a value of that length, with room to tell that the value goes on.
constexpr std::size_t kKeptDetails = 6;

}  // namespace

bool IsBlank(char byte) { return kBlanks.find(byte) != std::string_view::npos; }

bool IsBreak(char byte) { return byte == '\r' || byte == '\n'; }

// The next break in one piece, found with memchr once per break byte and
// kept until passed, so a text with only one kind of break is not searched
// to its end for the other at every line.
struct LineSplitter::Scan {
  std::string_view text;
  std::size_t nextCr = 0;
  std::size_t nextLf = 0;
  bool crKnown = false;
  bool lfKnown = false;

  std::size_t NextBreak(std::size_t from) {
    return std::min(Next('\r', from, nextCr, crKnown), Next('\n', from, nextLf, lfKnown));
  }

 private:
  std::size_t Next(char byte, std::size_t from, std::size_t& next, bool& known) const {
    if (!known || (next != std::string_view::npos && next < from)) {
      next = text.find(byte, from);
      known = true;
    }
    return next;
  }
};

LineSplitter::LineSplitter(std::size_t detail, Sink sink)
    : runCap_(detail + 1), keepCap_(kKeptDetails * (detail + 1)), sink_(std::move(sink)) {}

void LineSplitter::Feed(std::string_view text) {
  Scan scan{text};
  std::size_t at = 0;
  if (pendingCr_ && !text.empty()) {
    pendingCr_ = false;
    const bool crLf = text.front() == '\n';
    if (crLf) {
      at = 1;
      lineBegin_ = offset_ + 1;
    }
    Emit(kept_, crLf ? "\r\n" : "\r");
  }
  while (at < text.size()) {
    at = inLine_ ? ContinueLine(scan, text, at) : StartLine(text, at);
  }
  offset_ += text.size();
}

void LineSplitter::Finish() {
  if (pendingCr_) {
    pendingCr_ = false;
    Emit(kept_, "\r");
  } else if (inLine_) {
    line_.contentEnd = offset_;
    Emit(kept_, "");
  }
}

// Passes blanks and empty lines up to the first byte of a line.
std::size_t LineSplitter::StartLine(std::string_view text, std::size_t at) {
  for (; at < text.size(); ++at) {
    const char byte = text[at];
    if (IsBreak(byte)) {
      lineBegin_ = offset_ + at + 1;
      endsInBreak_ = true;
      continue;
    }
    endsInBreak_ = false;
    if (IsBlank(byte)) continue;
    inLine_ = true;
    line_ = Line{};
    line_.begin = lineBegin_;
    kept_.clear();
    compacted_ = false;
    phase_ = Phase::kHead;
    partStart_ = 0;
    blankRun_ = 0;
    return at;
  }
  return at;
}

// Takes the line on from `at` to its break, or to the end of the piece.
std::size_t LineSplitter::ContinueLine(Scan& scan, std::string_view text, std::size_t at) {
  const std::size_t breakAt = std::min(scan.NextBreak(at), text.size());
  const std::string_view bytes = text.substr(at, breakAt - at);
  if (breakAt == text.size()) {
    Keep(bytes);
    endsInBreak_ = false;
    return text.size();
  }
  line_.contentEnd = offset_ + breakAt;
  // A line that lies whole in this piece is passed on as it is.
  const bool inPlace = kept_.empty() && !compacted_ && bytes.size() <= keepCap_;
  if (!inPlace) Keep(bytes);
  const std::string_view lineText = inPlace ? bytes : std::string_view(kept_);
  endsInBreak_ = true;
  if (text[breakAt] == '\n') {
    lineBegin_ = offset_ + breakAt + 1;
    Emit(lineText, "\n");
    return breakAt + 1;
  }
  if (breakAt + 1 == text.size()) {
    // Whether an LF follows the CR shows only in the next piece.
    if (inPlace) kept_.assign(bytes);
    lineBegin_ = offset_ + breakAt + 1;
    pendingCr_ = true;
    return text.size();
  }
  const bool crLf = text[breakAt + 1] == '\n';
  lineBegin_ = offset_ + breakAt + (crLf ? 2 : 1);
  Emit(lineText, crLf ? "\r\n" : "\r");
  return breakAt + (crLf ? 2 : 1);
}

void LineSplitter::Keep(std::string_view bytes) {
  if (!compacted_ && kept_.size() + bytes.size() <= keepCap_) {
    kept_ += bytes;
    return;
  }
  if (!compacted_) {
    // What was kept raw is compacted anew; both buffers keep their room for
    // the next long line, so long lines cost no allocations.
    compacted_ = true;
    raw_.swap(kept_);
    kept_.clear();
    Compact(raw_);
  }
  Compact(bytes);
}

void LineSplitter::Compact(std::string_view bytes) {
  while (!bytes.empty()) {
    switch (phase_) {
      case Phase::kHead: bytes = TakePart(bytes, Phase::kSeekingEquals, Phase::kHeadRest); break;
      case Phase::kHeadRest:
      case Phase::kValueRest: bytes = TakeRest(bytes); break;
      case Phase::kSeekingEquals: bytes = SeekEquals(bytes); break;
      case Phase::kValue: bytes = TakePart(bytes, Phase::kDone, Phase::kValueRest); break;
      case Phase::kDone:
        NoteBrackets(bytes);
        bytes = {};
        break;
    }
  }
}

// Keeps bytes of the current part, its long runs of blanks shortened, up to
// its NUL (kept too) or its cut; returns what follows.
std::string_view LineSplitter::TakePart(std::string_view bytes, Phase afterNul, Phase afterCut) {
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    const char byte = bytes[at];
    blankRun_ = IsBlank(byte) ? blankRun_ + 1 : 0;
    if (blankRun_ > runCap_) continue;
    if (kept_.size() - partStart_ == keepCap_) {
      line_.cut = true;
      phase_ = afterCut;
      return bytes.substr(at);
    }
    kept_ += byte;
    if (byte == '\0') {
      phase_ = afterNul;
      return bytes.substr(at + 1);
    }
  }
  return {};
}

// Past a part's cut: its last non-blank byte before its NUL.
std::string_view LineSplitter::TakeRest(std::string_view bytes) {
  const std::size_t nul = bytes.find('\0');
  const std::string_view part = bytes.substr(0, nul);
  NoteBrackets(part);
  const std::size_t last = part.find_last_not_of(kBlanks);
  if (last != std::string_view::npos) line_.restLastNonBlank = part[last];
  if (nul == std::string_view::npos) return {};
  phase_ = Phase::kDone;
  return bytes.substr(nul + 1);
}

// After the first NUL, the first '=' starts the value, unless one came before.
std::string_view LineSplitter::SeekEquals(std::string_view bytes) {
  if (kept_.find('=') != std::string::npos) {
    phase_ = Phase::kDone;
    return bytes;
  }
  const std::size_t equals = bytes.find('=');
  NoteBrackets(bytes.substr(0, equals));
  if (equals == std::string_view::npos) return {};
  kept_ += '=';
  partStart_ = kept_.size();
  blankRun_ = 0;
  phase_ = Phase::kValue;
  return bytes.substr(equals + 1);
}

void LineSplitter::NoteBrackets(std::string_view dropped) {
  if (!line_.bracketInRest) line_.bracketInRest = dropped.find(']') != std::string_view::npos;
}

void LineSplitter::Emit(std::string_view text, std::string_view newline) {
  inLine_ = false;
  line_.text = text;
  line_.newline = newline;
  if (!newline.empty()) lastNewline_ = newline;
  sink_(line_);
}

}  // namespace platform::profile_text
