// game.ini's text cut into lines, in one pass and in bounded memory, however
// the text arrives in pieces and however long its lines are.
//
// A line ends at CR, LF or CR LF, its break; any other CR or LF starts an
// empty line. Lines are trimmed of leading blanks (space, tab, CR, LF, VT, FF,
// 0x1A), and only non-empty ones are reported.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace platform::profile_text {

bool IsBlank(char byte);
bool IsBreak(char byte);

// One non-empty line. Offsets count in the text from its start.
struct Line {
  // From its first non-blank byte to its break; a long line is compacted
  // (see LineSplitter).
  std::string_view text;
  std::size_t begin = 0;       // where the line starts, its leading blanks included
  std::size_t contentEnd = 0;  // where its break starts, or the end
  std::string_view newline;    // its own break: "\r\n", "\r", "\n", or "" at the end

  // Of a compacted line: whether the part `text` ends with goes on past
  // what was kept, and that part's last non-blank byte before its NUL (0:
  // none past what was kept); whether a dropped part holds a ']'.
  bool cut = false;
  char restLastNonBlank = 0;
  bool bracketInRest = false;
};

class LineSplitter {
 public:
  using Sink = std::function<void(const Line&)>;

  // `detail` is the longest name or value the reader of the lines compares
  // or returns. A line longer than six times that (plus one) is compacted to
  // what can still matter to such a reader: up to its first NUL, then '=' and
  // what follows the first '=' after it, up to the next NUL (where a name
  // ending at a NUL has its value); each part at most that long, and its runs
  // of more than `detail` + 1 blanks shortened to that many. No name or value
  // of `detail` bytes can tell the compacted line from the whole one.
  LineSplitter(std::size_t detail, Sink sink);

  void Feed(std::string_view text);
  void Finish();

  std::size_t size() const { return offset_; }
  bool endsInBreak() const { return endsInBreak_; }
  // The break of the last line that has one, or CR LF when none has.
  std::string_view lastNewline() const { return lastNewline_; }

 private:
  struct Scan;
  // Where a compacted line is: in the part up to its first NUL, past the
  // cut of that part, looking for '=' after the NUL, in the part after that
  // '=', past its cut, or past everything that can matter.
  enum class Phase { kHead, kHeadRest, kSeekingEquals, kValue, kValueRest, kDone };

  std::size_t StartLine(std::string_view text, std::size_t at);
  std::size_t ContinueLine(Scan& scan, std::string_view text, std::size_t at);
  void Keep(std::string_view bytes);
  void Compact(std::string_view bytes);
  std::string_view TakePart(std::string_view bytes, Phase afterNul, Phase afterCut);
  std::string_view TakeRest(std::string_view bytes);
  std::string_view SeekEquals(std::string_view bytes);
  void NoteBrackets(std::string_view dropped);
  void Emit(std::string_view text, std::string_view newline);

  std::size_t runCap_;   // blanks kept of a run in a compacted line
  std::size_t keepCap_;  // bytes kept of a line, or of each part of a compacted one
  Sink sink_;

  std::size_t offset_ = 0;     // of the next byte to come
  std::size_t lineBegin_ = 0;  // where the next or current line starts
  bool endsInBreak_ = true;
  std::string_view lastNewline_ = "\r\n";

  bool inLine_ = false;     // a line has started and not ended
  bool pendingCr_ = false;  // it ended at a CR that was the last byte so far
  Line line_;               // the current line's offsets and rest
  std::string kept_;        // its bytes so far, when they span pieces or it is compacted
  std::string raw_;         // its first bytes, as they were before it was compacted
  bool compacted_ = false;
  Phase phase_ = Phase::kHead;
  std::size_t partStart_ = 0;  // where the current part starts in kept_
  std::size_t blankRun_ = 0;
};

}  // namespace platform::profile_text
