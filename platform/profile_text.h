// The INI line format of game.ini, the way the Windows profile service treats
// the same files: finding the values of keys and planning the edit that
// writes one. No I/O: a file's bytes arrive in pieces of any size, and each
// look-up takes one pass in bounded memory (platform/profile_lines.h), however
// large the file or its lines. Values are the file's text as it stands; their
// code page is platform/profile_encoding.h's matter.
//
// Format: lines are trimmed of blanks; "[name]" opens a section whose name
// runs to the last ']'; "name=value" splits at the first '='; a line without
// '=' is a name without a value; a line starting with ';' is a comment. Names
// match ignoring the case of A-Z. Only the first matching section, and the
// first matching name in it, count; a name without a value hides later lines
// of that name. A NUL byte ends the name or value it is in. A value loses one
// pair of matching quotes (" or ') around it.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile_encoding.h"
#include "platform/profile_lines.h"

namespace platform::profile_text {

// One line as the format reads it.
struct Entry {
  enum class Kind { kComment, kHeader, kPair, kBareName };
  Kind kind = Kind::kComment;
  // A header's section or a pair's or bare name's name, trimmed; it can name
  // something only when the line kept all of it.
  std::string_view name;
  bool nameWhole = true;
  // A pair's value, trimmed, as far as the line kept it; its last non-blank
  // byte tells a closing quote past what was kept.
  std::string_view value;
  bool valueWhole = true;
  char valueLast = 0;
};

Entry Parse(const Line& line);

// What GetPrivateProfileString finds for several keys of one section, read
// in one pass: each key's value, cut to bufferSize - 1 bytes, or nullopt when
// the file, the section or the key is missing.
class SectionReader {
 public:
  SectionReader(std::string_view section, std::span<const std::string_view> keys, int bufferSize);
  SectionReader(const SectionReader&) = delete;
  SectionReader& operator=(const SectionReader&) = delete;

  void Feed(std::string_view bytes);
  // True once more content cannot change the answer.
  bool done() const { return state_ == State::kDone; }
  std::vector<std::optional<std::string>> Finish();
  // The file's encoding, known after Finish.
  FileEncoding encoding() const { return *decoder_.encoding(); }

 private:
  enum class State { kSeeking, kInSection, kDone };
  void OnLine(const Line& line);

  std::string section_;
  std::vector<std::string> keys_;
  std::size_t maxLength_;
  State state_ = State::kSeeking;
  std::vector<bool> settled_;  // found, or hidden by a name without a value
  std::vector<std::optional<std::string>> values_;
  TextDecoder decoder_;
  LineSplitter lines_;
};

// What a missing key reads as: `lpDefault` up to a NUL, without its trailing
// spaces, cut to bufferSize - 1 bytes.
std::string DefaultValue(std::string_view lpDefault, int bufferSize);

// Replace `length` bytes of the text at `offset` with `text`.
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

// WritePrivateProfileString: plans the one edit that stores `value` (in the
// file's text already) under `key` in `section`. The value loses its leading
// blanks and ends at a NUL; CR and LF in it become blanks, so a value can
// never break its line and inject other keys. Refused: names that would not
// read back (a key holding '=' or a line break or starting with ';' or '[',
// a section holding a line break) and damaged UTF-16 text.
class WritePlanner {
 public:
  WritePlanner(std::string_view section, std::string_view key, std::string_view value);
  WritePlanner(const WritePlanner&) = delete;
  WritePlanner& operator=(const WritePlanner&) = delete;

  void Feed(std::string_view bytes);
  // True once more content cannot change the plan: the rest is only copied.
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
  std::string insertNewline_;
  TextDecoder decoder_;
  LineSplitter lines_;
};

// A file with an edit applied, fed in pieces: its text is edited at the
// planner's offsets and encoded again as the file was.
class Rewriter {
 public:
  explicit Rewriter(Edit edit) : edit_(std::move(edit)) {}

  // Appends the rewritten form of `bytes` to `out`.
  void Feed(std::string_view bytes, std::string& out);
  void Finish(std::string& out);

 private:
  void Rewrite(std::string_view text, std::string& out);
  void Emit(std::string_view text, std::string& out);

  Edit edit_;
  TextDecoder decoder_;
  std::optional<TextEncoder> encoder_;
  std::size_t offset_ = 0;
  bool edited_ = false;
  std::size_t toSkip_ = 0;
};

// The whole-content forms of the three above; ReadValue gives the default
// for a missing key.
std::string ReadValue(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view defaultValue, int bufferSize);
WritePlan PlanWrite(std::string_view content, std::string_view section, std::string_view key,
                    std::string_view value);
std::string ApplyEdit(std::string_view content, const Edit& edit);

}  // namespace platform::profile_text
