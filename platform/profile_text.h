// The INI line format of game.ini, over bytes and OS-independent: finding one
// key's value and planning the edit that writes one, the way the Windows
// profile service treats the same files. No I/O: the content arrives in pieces
// of any size, and only a bounded part of each line is kept, so a huge file or
// a single huge line costs neither memory nor more than one pass.
//
// Format: lines end at CR, LF or any run of them and are trimmed of blanks
// (space, tab, CR, LF, VT, FF, 0x1A); "[name]" opens a section whose name runs
// to the last ']'; "name=value" splits at the first '='; a line without '=' is
// a name without a value; a line starting with ';' is a comment. Names match
// ignoring the case of A-Z. Only the first matching section, and the first
// matching name in it, count. A NUL byte ends the name or value it is in; a
// UTF-8 byte-order mark is skipped and kept; a file with a UTF-16 byte-order
// mark is read as UTF-8 text and written back as UTF-16.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace platform::profile_text {

// The start of one trimmed name or value, kept up to a cap: enough to compare
// it with a given text or to return it cut to a buffer size.
class BoundedField {
 public:
  explicit BoundedField(std::size_t cap) : cap_(cap) {}

  void Reset();
  void Add(char byte);
  // Whether the field, as it stood when it had kept `keptSize` bytes, equals
  // `name` ignoring the case of A-Z.
  bool MatchesUpTo(std::size_t keptSize, bool overflowed, std::string_view name) const;
  bool Matches(std::string_view name) const { return MatchesUpTo(kept_.size(), overflowed_, name); }
  // Whether the whole trimmed field is exactly `text`.
  bool Holds(std::string_view text) const;
  // The field without its trailing blanks, as far as it was kept.
  std::string_view Trimmed() const;
  // The value as read: one pair of matching quotes removed, cut to maxLength.
  std::string Value(std::size_t maxLength) const;

  std::size_t keptSize() const { return kept_.size(); }
  bool overflowed() const { return overflowed_; }

 private:
  std::size_t cap_;
  std::string kept_;         // from the first non-blank byte, at most cap_ bytes
  bool overflowed_ = false;  // a non-blank byte came after the cap
  bool ended_ = false;       // a NUL byte ended the field
  char lastNonBlank_ = 0;
};

// UTF-16 text, as its byte-order mark announced it, turned into UTF-8, the
// program's own encoding, in pieces of any size. A unit that is not part of a
// character reads as U+FFFD and marks the text as damaged.
class Utf16Decoder {
 public:
  explicit Utf16Decoder(bool bigEndian) : bigEndian_(bigEndian) {}

  void Decode(std::string_view bytes, std::string& out);
  void Finish(std::string& out);

  bool bigEndian() const { return bigEndian_; }
  bool damaged() const { return damaged_; }

 private:
  void Damaged(std::string& out);

  bool bigEndian_;
  int oddByte_ = -1;  // the first byte of a unit
  char32_t highSurrogate_ = 0;
  bool damaged_ = false;
};

// UTF-8 text as UTF-16 in the given byte order; a byte that does not start a
// well-formed character becomes U+FFFD.
void AppendUtf16(std::string_view utf8, bool bigEndian, std::string& out);

// One non-empty line of the content, as far as a lookup of one section and
// one key needs it. Offsets count from the start of the content.
struct Line {
  enum class Kind { kComment, kHeader, kPair, kBareName };
  Kind kind = Kind::kComment;
  bool namesSection = false;            // a header naming the wanted section
  bool namesKey = false;                // a pair or bare name naming the wanted key
  const BoundedField* name = nullptr;   // a pair's or bare name's name
  const BoundedField* value = nullptr;  // a pair's value
  std::size_t begin = 0;                // where the line starts, its leading blanks included
  std::size_t contentEnd = 0;           // where the line break starts (or the end)
  std::string_view newline;             // the line's own break: CRLF, CR, LF or none
};

// Cuts the content into lines and reports each non-empty one.
class LineScanner {
 public:
  using Sink = std::function<void(const Line&)>;

  // `section` and `key` are already trimmed; values are kept up to valueCap.
  LineScanner(std::string_view section, std::string_view key, std::size_t valueCap, Sink sink);

  void Feed(std::string_view bytes);
  void Finish();

  bool isUtf16() const { return utf16_.has_value(); }
  bool isDamagedUtf16() const { return utf16_ && utf16_->damaged(); }
  std::size_t size() const { return offset_; }
  bool endsInBreak() const { return endsInBreak_; }
  // The break of the last line that has one, or CRLF when none has.
  std::string_view newline() const { return lastNewline_; }

 private:
  void FeedHead(char byte);
  void FeedText(std::string_view bytes);
  std::size_t SkipToBreak(std::string_view bytes);
  void Consume(char byte);
  void StartLine(char byte);
  void AddToLine(char byte);
  void EndLine(std::string_view newline);
  void Emit();

  std::string section_;
  std::string key_;
  Sink sink_;

  std::string head_;  // the first bytes, until it is clear whether they are a mark
  bool headDone_ = false;
  std::optional<Utf16Decoder> utf16_;
  std::string decoded_;
  std::size_t offset_ = 0;
  std::size_t lineBegin_ = 0;
  bool endsInBreak_ = true;
  std::string_view lastNewline_ = "\r\n";

  bool inLine_ = false;
  bool pending_ = false;  // a line has ended; its break length is known at the next byte
  bool pendingAfterCr_ = false;
  bool comment_ = false;
  bool skipToBreak_ = false;  // nothing before the line's break matters
  bool bracketLine_ = false;
  bool seenEquals_ = false;
  bool seenBracket_ = false;
  std::size_t bracketKeptSize_ = 0;
  bool bracketOverflowed_ = false;
  BoundedField header_;
  BoundedField name_;
  BoundedField value_;
  Line line_;
};

// GetPrivateProfileString: the value of `key` in `section`, fed in pieces.
class ValueReader {
 public:
  ValueReader(std::string_view section, std::string_view key, std::string_view defaultValue,
              int bufferSize);
  ValueReader(const ValueReader&) = delete;
  ValueReader& operator=(const ValueReader&) = delete;

  void Feed(std::string_view bytes) { scanner_.Feed(bytes); }
  // True once more content cannot change the answer.
  bool done() const { return state_ == State::kDone; }
  // The value, or the default without its trailing spaces when the section or
  // key is missing; cut to bufferSize - 1 bytes.
  std::string Finish();

 private:
  enum class State { kSeeking, kInSection, kDone };
  void OnLine(const Line& line);

  std::string default_;
  std::size_t maxLength_;
  State state_ = State::kSeeking;
  bool found_ = false;
  std::string value_;
  LineScanner scanner_;
};

// Replace `length` bytes at `offset` with `text`.
struct Edit {
  std::size_t offset = 0;
  std::size_t length = 0;
  std::string text;
};

struct WritePlan {
  enum class Kind { kUnchanged, kEdit, kRefused };
  Kind kind = Kind::kUnchanged;
  Edit edit;           // kEdit
  std::string reason;  // kRefused: why the file cannot take this write
};

// WritePrivateProfileString: plans the one edit that stores `value` under
// `key` in `section`, fed the current content in pieces. The value loses its
// leading blanks and ends at a NUL; CR and LF in it become blanks, so a value
// can never break its line and inject other keys. Refused: names that would
// not read back (a key holding '=' or a line break or starting with ';' or
// '[', a section holding a line break) and damaged UTF-16 text.
class WritePlanner {
 public:
  WritePlanner(std::string_view section, std::string_view key, std::string_view value);
  WritePlanner(const WritePlanner&) = delete;
  WritePlanner& operator=(const WritePlanner&) = delete;

  void Feed(std::string_view bytes);
  // True once more content cannot change the plan, apart from its end: the
  // rest of the content is only copied.
  bool done() const;
  WritePlan Finish();

 private:
  enum class State { kSeeking, kInSection, kFound, kPastSection };
  void OnLine(const Line& line);
  void NoteLastLine(const Line& line);
  std::string KeyLine() const;

  std::string section_;
  std::string key_;
  std::string value_;
  std::string refusal_;
  State state_ = State::kSeeking;
  std::optional<Edit> replacement_;  // none: the key already holds the value
  std::size_t insertAt_ = 0;
  std::string_view insertNewline_;
  LineScanner scanner_;
};

// The content with an edit applied, fed in pieces: UTF-16 content is decoded,
// edited at the planner's offsets and encoded again in its own byte order.
class Rewriter {
 public:
  explicit Rewriter(Edit edit) : edit_(std::move(edit)) {}

  // Appends the rewritten form of `bytes` to `out`.
  void Feed(std::string_view bytes, std::string& out);
  void Finish(std::string& out);

 private:
  void FeedText(std::string_view text, std::string& out);
  void Emit(std::string_view text, std::string& out) const;

  Edit edit_;
  std::string head_;  // a first byte that may start a UTF-16 mark
  bool headDone_ = false;
  std::optional<Utf16Decoder> utf16_;
  std::string decoded_;
  std::size_t offset_ = 0;
  bool edited_ = false;
  std::size_t toSkip_ = 0;
};

// The whole-content forms of the three above.
std::string ReadValue(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view defaultValue, int bufferSize);
WritePlan PlanWrite(std::string_view content, std::string_view section, std::string_view key,
                    std::string_view value);
std::string ApplyEdit(std::string_view content, const Edit& edit);

}  // namespace platform::profile_text
