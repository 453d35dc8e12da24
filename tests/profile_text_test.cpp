// The INI line format of game.ini: reading one key and planning one write,
// over bytes only.
#include "platform/profile_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "profile_compat_cases.h"

namespace platform::profile_text {
namespace {

using namespace std::string_literals;

constexpr int kBufferSize = 255;

// Feeds the content in pieces of `chunk` bytes, as a file is read.
std::string ReadInChunks(std::string_view content, std::string_view section, std::string_view key,
                         std::string_view defaultValue, int bufferSize, std::size_t chunk) {
  const std::string_view keys[] = {key};
  SectionReader reader(section, keys, bufferSize);
  for (std::size_t at = 0; at < content.size(); at += chunk) reader.Feed(content.substr(at, chunk));
  return reader.Finish().front().value_or(DefaultValue(defaultValue, bufferSize));
}

// Plans in pieces of `chunk` bytes, as a file is read.
WritePlan PlanInChunks(std::string_view content, std::string_view section, std::string_view key,
                       std::string_view value, std::size_t chunk) {
  WritePlanner planner(section, key, value);
  for (std::size_t at = 0; at < content.size(); at += chunk)
    planner.Feed(content.substr(at, chunk));
  return planner.Finish();
}

// The content as the plan leaves it, rewritten in pieces of `chunk` bytes.
std::string Written(std::string_view content, const WritePlan& plan,
                    std::size_t chunk = std::string_view::npos) {
  if (plan.kind != WritePlan::Kind::kEdit) return std::string(content);
  Rewriter rewriter(plan.edit);
  std::string written;
  for (std::size_t at = 0; at < content.size(); at += chunk) {
    rewriter.Feed(content.substr(at, chunk), written);
  }
  rewriter.Finish(written);
  return written;
}

struct ReadCase {
  std::string what;
  std::string content;
  std::string section;
  std::string key;
  std::string expected;
  std::string defaultValue = "dflt";
  int bufferSize = kBufferSize;
};

const std::string k300(300, 'x');
const std::string k254(254, 'x');
const std::string kTenMegabytes(10 << 20, 'y');

// What only the text reader shows: buffer sizes, caller's names, raw bytes,
// UTF-16 in detail and huge lines. The cases every profile service shares
// are in profile_compat_cases.h.
const ReadCase kReadCases[] = {
    {"300-byte value is cut to 254", "[C]\nK=" + k300 + "\n", "C", "K", k254},
    {"buffer size cuts the value", "[C]\nK=abcdef\n", "C", "K", "abc", "d", 4},
    {"buffer size cuts the default", "", "C", "K", "lon", "long", 4},
    {"buffer of one byte", "[C]\nK=abc\n", "C", "K", "", "d", 1},
    {"blanks around the given names", "[C]\nK=1\n", " C\t", " K ", "1"},
    {"quoted long value", "[C]\nK=\"" + k300 + "\"\n", "C", "K", k254},
    {"quote only at the start of a long value", "[C]\nK=\"" + k300 + "\n", "C", "K",
     "\"" + k254.substr(1)},
    {"case folding is ASCII only", "[\xC3\xA4]\nK=1\n", "\xC3\x84", "K", "dflt"},
    {"runs of breaks and blank lines", "\r\n\n[C]\n\r\n   \n\r\rK=2", "C", "K", "2"},
    {"empty name", "[C]\n=v\n", "C", "", "v"},
    {"'[' without ']' is an ordinary line", "[C]\n[K=1\n", "C", "[K", "1"},
    {"'[' without ']' does not end the section", "[C]\n[x=1\nK=2\n", "C", "K", "2"},
    {"byte-order mark only at the start", "\xEF\xBB\xBF\n\xEF\xBB\xBF[C]\nK=1\n", "C", "K", "dflt"},
    {"UTF-16 little-endian", "\xFF\xFE[\0C\0]\0\r\0\n\0K\0=\0\xE9\0\x3D\xD8\x00\xDE"s, "C", "K",
     "\xC3\xA9\xF0\x9F\x98\x80"},
    {"UTF-16 big-endian", "\xFE\xFF\0[\0C\0]\0\n\0K\0=\x20\xAC"s, "C", "K", "\xE2\x82\xAC"},
    {"UTF-16 lone surrogates", "\xFF\xFE[\0C\0]\0\n\0K\0=\0\x00\xDCx\0\x00\xD8"s, "C", "K",
     "\xEF\xBF\xBDx\xEF\xBF\xBD"},
    {"UTF-16 odd byte at the end", "\xFF\xFE[\0C\0]\0\n\0K\0=\0x\0y"s, "C", "K", "x\xEF\xBF\xBD"},
    {"UTF-16 lone surrogate, then an odd byte", "\xFF\xFE[\0C\0]\0\n\0K\0=\0x\0\x00\xD8y"s, "C",
     "K", "x\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"NUL ends a header name", "[C\0x]\nK=1\n"s, "C", "K", "1"},
    {"other bytes unchanged", "[C]\nK=\xFF\xC3(\x01\x7F\n", "C", "K", "\xFF\xC3(\x01\x7F"},
    {"bare name reads as missing", "[C]\nK\n", "C", "K", "dflt"},
    {"first '=' splits, even before another", "[C]\nK==a=b\n", "C", "K", "=a=b"},
    {"default loses trailing spaces after a tab", "", "C", "K", "d\t", "d\t "},
    {"10 MB value", "[C]\nK=" + kTenMegabytes + "\n", "C", "K", std::string(254, 'y')},
    {"10 MB of blanks after a name", "[C]\nK" + std::string(10 << 20, ' ') + "=v\n", "C", "K", "v"},
    {"10 MB name", "[C]\n" + kTenMegabytes + "=v\nK=1\n", "C", "K", "1"},
    {"long name sharing the key's start", "[C]\nK" + std::string(100, ' ') + "x=v\nK=1\n", "C", "K",
     "1"},

};

// The shared table as a file's content; no file is no content.
std::vector<ReadCase> SharedReadCases() {
  std::vector<ReadCase> cases;
  for (const profile_compat::ReadCase& c : profile_compat::kReads) {
    const std::string_view content = c.file == profile_compat::kNoFile ? "" : c.file;
    cases.push_back({std::string(c.name), std::string(content), std::string(c.section),
                     std::string(c.key), std::string(c.expected), std::string(c.lpDefault)});
  }
  return cases;
}

std::vector<ReadCase> AllReadCases() {
  std::vector<ReadCase> cases = SharedReadCases();
  cases.insert(cases.end(), std::begin(kReadCases), std::end(kReadCases));
  return cases;
}

TEST(ProfileText, ReadsLikeTheWindowsService) {
  for (const ReadCase& c : AllReadCases()) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ReadValue(c.content, c.section, c.key, c.defaultValue, c.bufferSize), c.expected);
  }
}

TEST(ProfileText, ReadDoesNotDependOnHowTheContentIsCut) {
  for (const ReadCase& c : AllReadCases()) {
    if (c.content.size() > 4096) continue;
    SCOPED_TRACE(c.what);
    for (std::size_t chunk : {1, 2, 3, 7}) {
      EXPECT_EQ(ReadInChunks(c.content, c.section, c.key, c.defaultValue, c.bufferSize, chunk),
                c.expected);
    }
  }
}

TEST(ProfileText, ReaderIsDoneAtTheKeyOrTheEndOfItsSection) {
  const struct {
    std::string content;
    bool done;
  } cases[] = {
      {"[C]\nK=1\nrest", true},
      {"[C]\nA=1\n[D]\nrest", true},
      {"[C]\nA=1\nrest", false},
      {"[D]\nK=1\nrest", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    const std::string_view keys[] = {"K"};
    SectionReader reader("C", keys, kBufferSize);
    reader.Feed(c.content);
    EXPECT_EQ(reader.done(), c.done);
  }
}

struct WriteCase {
  const char* what;
  std::string content;
  std::string section;
  std::string key;
  std::string value;
  std::string expected;
  std::string readBack;
};

const WriteCase kWriteCases[] = {
    {"new file", "", "Connector", "LastPort", "2597", "[Connector]\r\nLastPort=2597\r\n", "2597"},
    {"byte-order mark kept", "\xEF\xBB\xBF", "C", "K", "v", "\xEF\xBB\xBF[C]\r\nK=v\r\n", "v"},
    {"replace the line in place, keeping the name's spelling and other lines",
     "; top\r\n[connector]\r\n lastport = 1 ; x \r\n[Other]\r\nLastPort=5\r\n", "Connector",
     "LastPort", "2600", "; top\r\n[connector]\r\nlastport=2600\r\n[Other]\r\nLastPort=5\r\n",
     "2600"},
    {"NUL in the name", "[C]\nK\0junk=1\n"s, "C", "K", "v", "[C]\nK=v\n", "v"},
    {"replace after a byte-order mark", "\xEF\xBB\xBF  K=1\n[C]\n  K=1\n", "C", "K", "v",
     "\xEF\xBB\xBF  K=1\n[C]\nK=v\n", "v"},
    {"replace an empty value", "[C]\nK=\nA=1\n", "C", "K", "v", "[C]\nK=v\nA=1\n", "v"},
    {"replace a blank-only value", "[C]\nK=   \n", "C", "K", "v", "[C]\nK=v\n", "v"},
    {"replace the last line without a break", "[C]\nK=old", "C", "K", "v", "[C]\nK=v", "v"},
    {"replace with an empty value", "[C]\nK=1\n", "C", "K", "", "[C]\nK=\n", ""},
    {"same value leaves the file untouched", "[C]\nK=1  \nA=2\n", "C", "K", "1",
     "[C]\nK=1  \nA=2\n", "1"},
    {"same empty value leaves the file untouched", "[C]\r\nK=\r\n", "C", "K", "", "[C]\r\nK=\r\n",
     ""},
    {"quoted value is rewritten plain", "[C]\nK=\"1\"\n", "C", "K", "1", "[C]\nK=1\n", "1"},
    {"new key after the last line of its section", "[C]\nA=1\n\n[D]\nB=2\n", "C", "K", "v",
     "[C]\nA=1\nK=v\n\n[D]\nB=2\n", "v"},
    {"new key after a comment ending the section", "[C]\r\nA=1\r\n;note\r\n\r\n[D]\r\n", "C", "K",
     "v", "[C]\r\nA=1\r\n;note\r\nK=v\r\n\r\n[D]\r\n", "v"},
    {"new key into an empty section", "[C]\n[D]\n", "C", "K", "v", "[C]\nK=v\n[D]\n", "v"},
    {"new key after a header without a break", "[C]", "C", "K", "v", "[C]\r\nK=v\r\n", "v"},
    {"new key after a last line without a break", "[C]\nA=1", "C", "K", "v", "[C]\nA=1\nK=v\n",
     "v"},
    {"new key into the first matching section", "[C]\nA=1\n[c]\nK=2\n", "C", "K", "v",
     "[C]\nA=1\nK=v\n[c]\nK=2\n", "v"},
    {"first matching key only", "[C]\nK=1\nK=2\n", "C", "K", "v", "[C]\nK=v\nK=2\n", "v"},
    {"bare name gets the value", "[C]\n  K  \nK=old\n", "C", "K", "v", "[C]\nK=v\nK=old\n", "v"},
    {"new section at the end", "[D]\nB=2\n", "C", "K", "v", "[D]\nB=2\n[C]\nK=v\n", "v"},
    {"new section after a last line without a break", "[D]\rB=2", "C", "K", "v",
     "[D]\rB=2\r[C]\rK=v\r", "v"},
    {"leading blanks of the value dropped", "", "C", "K", " \t v ", "[C]\r\nK=v \r\n", "v"},
    {"line breaks in the value become blanks", "[C]\nK=1\n", "C", "K", "a\r\nB=evil\nx",
     "[C]\nK=a  B=evil x\n", "a  B=evil x"},
    {"NUL ends the value", "", "C", "K", "ab\0cd"s, "[C]\r\nK=ab\r\n", "ab"},
    {"quotes are stored as given", "", "C", "K", "\"q\"", "[C]\r\nK=\"q\"\r\n", "q"},
    {"given names are trimmed", "", " C ", " K ", "v", "[C]\r\nK=v\r\n", "v"},
    {"garbage after a NUL in the value is replaced", "[C]\nK=a\0zz\n"s, "C", "K", "b", "[C]\nK=b\n",
     "b"},
    {"UTF-16 value replaced", "\xFF\xFE[\0C\0]\0\r\0\n\0K\0=\0\x31\0\r\0\n\0;\0"s, "C", "K",
     "\xC3\xA9", "\xFF\xFE[\0C\0]\0\r\0\n\0K\0=\0\xE9\0\r\0\n\0;\0"s, "\xC3\xA9"},
    {"UTF-16 big-endian key added", "\xFE\xFF\0[\0C\0]\0\n"s, "C", "K", "\xF0\x9F\x98\x80",
     "\xFE\xFF\0[\0C\0]\0\n\0K\0=\xD8\x3D\xDE\x00\0\n"s, "\xF0\x9F\x98\x80"},
    {"UTF-16 section added", "\xFF\xFE;\0"s, "C", "K", "v",
     "\xFF\xFE;\0\r\0\n\0[\0C\0]\0\r\0\n\0K\0=\0v\0\r\0\n\0"s, "v"},
    {"UTF-16 takes invalid UTF-8 as U+FFFD", "\xFF\xFE"s, "C", "K", "a\xFF",
     "\xFF\xFE[\0C\0]\0\r\0\n\0K\0=\0a\0\xFD\xFF\r\0\n\0"s, "a\xEF\xBF\xBD"},
    {"other bytes preserved exactly", "\xFF\x01 junk\r\r\n[C]\t\nK=1\x1A\n\v;\xC3\n", "C", "A", "2",
     "\xFF\x01 junk\r\r\n[C]\t\nK=1\x1A\n\v;\xC3\nA=2\n", "2"},
};

TEST(ProfileText, WritesLikeTheWindowsService) {
  for (const WriteCase& c : kWriteCases) {
    SCOPED_TRACE(c.what);
    const WritePlan plan = PlanWrite(c.content, c.section, c.key, c.value);
    ASSERT_NE(plan.kind, WritePlan::Kind::kRefused) << plan.reason;
    EXPECT_EQ(plan.kind == WritePlan::Kind::kUnchanged, c.expected == c.content);
    const std::string written = Written(c.content, plan);
    EXPECT_EQ(written, c.expected);
    EXPECT_EQ(ReadValue(written, c.section, c.key, "missing", kBufferSize), c.readBack);
  }
}

TEST(ProfileText, WriteDoesNotDependOnHowTheContentIsCut) {
  for (const WriteCase& c : kWriteCases) {
    SCOPED_TRACE(c.what);
    for (std::size_t chunk : {1, 2, 3}) {
      EXPECT_EQ(
          Written(c.content, PlanInChunks(c.content, c.section, c.key, c.value, chunk), chunk),
          c.expected);
    }
  }
}

TEST(ProfileText, ValueWithLineBreaksInjectsNoKey) {
  const std::string written = Written("", PlanWrite("", "C", "K", "x\r\n[C]\nEvil=1\r[D]\nK=2"));
  EXPECT_EQ(ReadValue(written, "C", "Evil", "none", kBufferSize), "none");
  EXPECT_EQ(ReadValue(written, "D", "K", "none", kBufferSize), "none");
}

TEST(ProfileText, RewritingTrailingBlanksDoesNotGrowTheLine) {
  std::string content = "[C]\nK=v  \n";
  for (int i = 0; i < 3; ++i) content = Written(content, PlanWrite(content, "C", "K", "v  "));
  EXPECT_EQ(content, "[C]\nK=v  \n");
}

TEST(ProfileText, RefusesWritesThatCannotReadBack) {
  const struct {
    std::string content;
    std::string section;
    std::string key;
  } cases[] = {
      {"", "C", "a=b"},
      {"", "C", "a\nb"},
      {"", "C", ";k"},
      {"", "C", "[k"},
      {"", "C\r[D", "K"},
      {"\xFF\xFE[\0C\0]\0\n\0\x00\xDC"s, "C", "K"},
      {"\xFE\xFF\0[\0C\0]\0\n\xD8\x00"s, "C", "K"},
      {"\xFF\xFE[\0C\0]\0x"s, "C", "K"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.section + "/" + c.key);
    const WritePlan plan = PlanWrite(c.content, c.section, c.key, "v");
    EXPECT_EQ(plan.kind, WritePlan::Kind::kRefused);
    EXPECT_FALSE(plan.reason.empty());
  }
}

TEST(ProfileText, PlannerIsDoneOnceThePlaceIsKnown) {
  const struct {
    std::string content;
    bool done;
  } cases[] = {
      {"[C]\nK=1\nrest", true},
      {"[C]\nA=1\n[D]\nrest", true},
      {"[C]\nA=1\nrest", false},
      {"[D]\nA=1\nrest", false},
      {"\xFF\xFE[\0C\0]\0\n\0K\0=\0\x31\0\n\0"s, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    WritePlanner planner("C", "K", "v");
    planner.Feed(c.content);
    EXPECT_EQ(planner.done(), c.done);
  }
}

TEST(ProfileText, EncodesUtf16FromUtf8) {
  const std::string kReplacement = "\xFD\xFF";
  const struct {
    std::string utf8;
    std::string utf16;
  } cases[] = {
      {"A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "A\0\xE9\0\xAC\x20\x3D\xD8\x00\xDE"s},
      {"\xC0\x80", kReplacement + kReplacement},                     // overlong
      {"\xED\xA0\x80", kReplacement + kReplacement + kReplacement},  // surrogate
      {"\xE2\x82", kReplacement + kReplacement},                     // cut short
      {"\xF4\x90\x80\x80", kReplacement + kReplacement + kReplacement + kReplacement},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    std::string utf16;
    TextEncoder(FileEncoding::kUtf16LittleEndian).Encode(c.utf8, utf16);
    EXPECT_EQ(utf16, "\xFF\xFE" + c.utf16);
  }
}

}  // namespace
}  // namespace platform::profile_text
