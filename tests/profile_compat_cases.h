// game.ini files with what the Windows profile service reads from them and
// writes into them. Every build runs its own profile service against this one
// table (profile_compat_test.cpp): the Windows build runs kernel32's, the
// Linux build our reader and writer, so both treat the same files alike.
#pragma once

#include <string_view>

namespace profile_compat {

using namespace std::string_view_literals;

// A file of kNoFile does not exist. A missing key reads as `lpDefault` with
// its trailing blanks removed.
inline constexpr std::string_view kNoFile = "<no file>";
inline constexpr std::string_view kDefault = "DEF";

struct ReadCase {
  std::string_view name;
  std::string_view file;
  std::string_view section;
  std::string_view key;
  std::string_view expected;
  std::string_view lpDefault = kDefault;
};

// Values of 8-bit text, read in code page 1252 (the system's code page
// under the tests: Windows' and Wine's for the C locale); texts are UTF-8.
inline const ReadCase kCodePageReads[] = {
    {"8-bit text", "[Connector]\r\nLastPort=Caf\xE9\r\n", "Connector", "LastPort", "Caf\u00e9"},
    {"UTF-8 text", "[Connector]\r\nLastPort=\u03a9\u03bc\u03ad\u03b3\u03b1\r\n", "Connector",
     "LastPort", "\u03a9\u03bc\u03ad\u03b3\u03b1"},
    {"bytes 1252 leaves undefined", "[Connector]\r\nLastPort=\x81\x8D\x8F\x90\x9D\r\n", "Connector",
     "LastPort", "\u0081\u008d\u008f\u0090\u009d"},
    {"a file with a UTF-8 mark is UTF-8", "\xEF\xBB\xBF[Connector]\r\nLastPort=\u03a9 \u00e9\r\n",
     "Connector", "LastPort", "\u03a9 \u00e9"},
    {"a UTF-16 file is Unicode", "\xFF\xFE[\0C\0]\0\r\0\n\0P\0=\0\xA9\x03\xE9\0\r\0\n\0"sv, "C",
     "P", "\u03a9\u00e9"},
};

inline const ReadCase kReads[] = {
    {"no file", kNoFile, "Connector", "LastPort", "DEF"},
    {"CRLF", "[Connector]\r\nLastPort=2600\r\n", "Connector", "LastPort", "2600"},
    {"LF", "[Connector]\nLastPort=2600\n", "Connector", "LastPort", "2600"},
    {"CR", "[Connector]\rLastPort=2600\r", "Connector", "LastPort", "2600"},
    {"no final line end", "[Connector]\r\nLastPort=2600", "Connector", "LastPort", "2600"},
    {"blank lines", "\r\n\r\n[Connector]\r\n\r\n\r\nLastPort=2600\r\n\r\n", "Connector", "LastPort",
     "2600"},
    {"empty value", "[Connector]\r\nLastPort=\r\n", "Connector", "LastPort", ""},
    {"blank value", "[Connector]\r\nLastPort=   \t\r\n", "Connector", "LastPort", ""},
    {"missing key", "[Connector]\r\nLastIp=1.2.3.4\r\n", "Connector", "LastPort", "DEF"},
    {"missing section", "[Other]\r\nLastPort=1\r\n", "Connector", "LastPort", "DEF"},
    {"key of another section", "[Other]\r\nLastPort=1\r\n[Connector]\r\nLastIp=x\r\n", "Connector",
     "LastPort", "DEF"},
    {"next section ends ours", "[Connector]\r\nLastIp=x\r\n[Other]\r\nLastPort=1\r\n", "Connector",
     "LastPort", "DEF"},
    {"key before any section", "LastPort=1\r\n[Connector]\r\n", "Connector", "LastPort", "DEF"},
    {"letter case of names", "[cONNECTOR]\r\nlASTpORT=7\r\n", "Connector", "LastPort", "7"},
    {"blanks around everything", "  [ Connector ]  \r\n  LastPort  =  2600  \r\n", "Connector",
     "LastPort", "2600"},
    {"tabs around everything", "\t[\tConnector\t]\t\r\n\tLastPort\t=\t2600\t\r\n", "Connector",
     "LastPort", "2600"},
    {"VT, FF and 0x1A are blanks", "[Connector]\r\n\v\fLastPort=26\x1a\v\r\n", "Connector",
     "LastPort", "26"},
    {"blanks inside a value", "[Connector]\r\nLastPort=a  b\tc\r\n", "Connector", "LastPort",
     "a  b\tc"},
    {"double quotes", "[Connector]\r\nLastPort=\"2600\"\r\n", "Connector", "LastPort", "2600"},
    {"single quotes", "[Connector]\r\nLastPort='2600'\r\n", "Connector", "LastPort", "2600"},
    {"quoted blanks stay", "[Connector]\r\nLastPort=\" 26 \"\r\n", "Connector", "LastPort", " 26 "},
    {"quotes that do not match", "[Connector]\r\nLastPort=\"2600'\r\n", "Connector", "LastPort",
     "\"2600'"},
    {"only one pair of quotes", "[Connector]\r\nLastPort=\"\"26\"\"\r\n", "Connector", "LastPort",
     "\"26\""},
    {"opening quote only", "[Connector]\r\nLastPort=\"2600\r\n", "Connector", "LastPort", "\"2600"},
    {"a lone quote", "[Connector]\r\nLastPort=\"\r\n", "Connector", "LastPort", "\""},
    {"comment line", "[Connector]\r\n;LastPort=1\r\nLastPort=2\r\n", "Connector", "LastPort", "2"},
    {"semicolon inside a value", "[Connector]\r\nLastPort=2 ; note\r\n", "Connector", "LastPort",
     "2 ; note"},
    {"hash is data", "[Connector]\r\n#LastPort=1\r\nLastPort=2\r\n", "Connector", "LastPort", "2"},
    {"hash key", "[Connector]\r\n#LastPort=1\r\n", "Connector", "#LastPort", "1"},
    {"equals sign in a value", "[Connector]\r\nLastPort=a=b\r\n", "Connector", "LastPort", "a=b"},
    {"first of duplicate keys", "[Connector]\r\nLastPort=1\r\nLastPort=2\r\n", "Connector",
     "LastPort", "1"},
    {"first of duplicate sections", "[Connector]\r\nLastIp=a\r\n[Connector]\r\nLastPort=2\r\n",
     "Connector", "LastPort", "DEF"},
    {"name without a value hides a later one", "[Connector]\r\nLastPort\r\nLastPort=2\r\n",
     "Connector", "LastPort", "DEF"},
    {"header runs to the last bracket", "[Conn]ector]\r\nLastPort=1\r\n", "Conn]ector", "LastPort",
     "1"},
    {"text after the header's bracket", "[Connector] junk\r\nLastPort=1\r\n", "Connector",
     "LastPort", "1"},
    {"header without a bracket", "[Connector\r\nLastPort=1\r\n", "Connector", "LastPort", "DEF"},
    {"NUL ends a value", "[Connector]\r\nLastPort=12\0 34\r\n"sv, "Connector", "LastPort", "12"},
    {"UTF-8 byte-order mark", "\xEF\xBB\xBF[Connector]\r\nLastPort=1\r\n", "Connector", "LastPort",
     "1"},
    {"default loses trailing spaces", "[Connector]\r\n", "Connector", "LastPort", "x y", "x y   "},
    {"empty default", "[Connector]\r\n", "Connector", "LastPort", "", ""},
    {"a tab ending the default stays", "[Connector]\r\n", "Connector", "LastPort", "x\t", "x\t"},
    {"comment after blanks", "[Connector]\r\n  ;LastPort=1\r\nLastPort=2\r\n", "Connector",
     "LastPort", "2"},
    {"quotes around quotes", "[Connector]\r\nLastPort=\"a\"b\"\r\n", "Connector", "LastPort",
     "a\"b"},
    {"empty quotes", "[Connector]\r\nLastPort=''\r\n", "Connector", "LastPort", ""},
    {"quotes inside blanks", "[Connector]\r\nLastPort = \"a\" \r\n", "Connector", "LastPort", "a"},
    {"blank inside a name", "[Connector]\r\nLast Port = 1\r\n", "Connector", "Last Port", "1"},
    {"comment after a header", "[Connector] ; note\r\nLastPort=1\r\n", "Connector", "LastPort",
     "1"},
    {"empty name", "[Connector]\r\n=5\r\nLastPort=1\r\n", "Connector", "LastPort", "1"},
    {"CR CR LF", "[Connector]\r\r\nLastPort=1\r\r\n", "Connector", "LastPort", "1"},
    {"NUL ends a name", "[Connector]\r\nLastPort\0x=1\r\n"sv, "Connector", "LastPort", "1"},
    {"UTF-16 file", "\xFF\xFE[\0C\0o\0n\0n\0e\0c\0t\0o\0r\0]\0\r\0\n\0P\0=\0001\0\r\0\n\0"sv,
     "Connector", "P", "1"},
};

struct WriteCase {
  std::string_view name;
  std::string_view file;  // before the write
  std::string_view key;   // in section "Connector"
  std::string_view value;
  std::string_view line;  // the key's own line afterwards (in an 8-bit file)
  // Every key of section "Connector" read back afterwards, "key=value" each.
  std::string_view readBack[3];
  // A key of section "Other" read back afterwards, "key=value".
  std::string_view otherReadBack = {};
};

inline const WriteCase kWrites[] = {
    {"new file", kNoFile, "LastPort", "2600", "LastPort=2600", {"LastPort=2600"}},
    {"value replaced",
     "[Connector]\r\nLastPort=1\r\nLastIp=x\r\n",
     "LastPort",
     "2",
     "LastPort=2",
     {"LastPort=2", "LastIp=x"}},
    {"file's spelling of the name kept",
     "[connector]\r\nlastport=1\r\n",
     "LastPort",
     "2",
     "lastport=2",
     {"LastPort=2"}},
    {"blanks around equals sign",
     "[Connector]\r\n  LastPort = 1 \r\n",
     "LastPort",
     "2",
     "LastPort=2",
     {"LastPort=2"}},
    {"new key in its section",
     "[Connector]\r\nLastIp=x\r\n[Other]\r\nA=1\r\n",
     "LastPort",
     "2",
     "LastPort=2",
     {"LastPort=2", "LastIp=x"},
     "A=1"},
    {"new section", "[Other]\r\nA=1\r\n", "LastPort", "2", "LastPort=2", {"LastPort=2"}, "A=1"},
    {"leading blanks dropped",
     "[Connector]\r\n",
     "LastPort",
     "  \t2600",
     "LastPort=2600",
     {"LastPort=2600"}},
    {"trailing blanks written, not read",
     "[Connector]\r\n",
     "LastPort",
     "2600  ",
     "LastPort=2600  ",
     {"LastPort=2600"}},
    {"empty value", "[Connector]\r\nLastPort=1\r\n", "LastPort", "", "LastPort=", {"LastPort="}},
    {"line breaks become blanks",
     "[Connector]\r\nLastIp=x\r\n",
     "LastPort",
     "1\r\nLastIp=evil\n[Other]\rA=2",
     "LastPort=1  LastIp=evil [Other] A=2",
     {"LastPort=1  LastIp=evil [Other] A=2", "LastIp=x"}},
    {"first of duplicate keys",
     "[Connector]\r\nLastPort=1\r\nLastPort=9\r\n",
     "LastPort",
     "2",
     "LastPort=2",
     {"LastPort=2"}},
    {"quotes stored as given",
     "[Connector]\r\n",
     "LastPort",
     "\"q\"",
     "LastPort=\"q\"",
     {"LastPort=q"}},
    {"file without a final line end",
     "[Connector]\r\nLastIp=x",
     "LastPort",
     "2",
     "LastPort=2",
     {"LastPort=2", "LastIp=x"}},
    {"LF line ends",
     "[Connector]\nLastIp=x\n[Other]\nA=1\n",
     "LastPort",
     "2",
     "LastPort=2",
     {"LastPort=2", "LastIp=x"},
     "A=1"},
    {"first of duplicate sections",
     "[Connector]\r\nLastIp=x\r\n[Connector]\r\nLastIp=y\r\n",
     "LastPort",
     "2",
     "LastPort=2",
     {"LastPort=2", "LastIp=x"}},
    {"byte-order mark kept",
     "\xEF\xBB\xBF[Connector]\r\nLastIp=x\r\n",
     "LastPort",
     "2",
     "LastPort=2",
     {"LastPort=2", "LastIp=x"}},
    {"name without a value",
     "[Connector]\r\nLastPort\r\n",
     "LastPort",
     "2",
     "LastPort=2",
     {"LastPort=2"}},
    {"blanks in the header",
     "[ Connector ]\r\nLastIp=x\r\n",
     "LastPort",
     "2",
     "LastPort=2",
     {"LastPort=2", "LastIp=x"}},
    {"commented-out key",
     "[Connector]\r\n;LastPort=1\r\n",
     "LastPort",
     "2",
     "LastPort=2",
     {"LastPort=2"}},
    {"other sections untouched",
     "[Other]\r\nLastPort=5\r\n[Connector]\r\nLastPort=1\r\n",
     "LastPort",
     "2",
     "LastPort=2",
     {"LastPort=2"},
     "LastPort=5"},
};

// In code page 1252, as kCodePageReads.
inline const WriteCase kCodePageWrites[] = {
    {"held by the code page: 8-bit text",
     kNoFile,
     "LastPort",
     "Caf\u00e9",
     "LastPort=Caf\xE9",
     {"LastPort=Caf\u00e9"}},
    {"not held: UTF-8, never '?'",
     kNoFile,
     "LastPort",
     "\u03a9\u03bc\u03ad\u03b3\u03b1 \u4e2d",
     "LastPort=\u03a9\u03bc\u03ad\u03b3\u03b1 \u4e2d",
     {"LastPort=\u03a9\u03bc\u03ad\u03b3\u03b1 \u4e2d"}},
    {"into a file with a UTF-8 mark: UTF-8",
     "\xEF\xBB\xBF[Connector]\r\nLastIp=\u00e9\r\n",
     "LastPort",
     "Caf\u00e9 \u03a9",
     "LastPort=Caf\u00e9 \u03a9",
     {"LastPort=Caf\u00e9 \u03a9", "LastIp=\u00e9"}},
    {"into a UTF-16 file",
     "\xFF\xFE[\0C\0o\0n\0n\0e\0c\0t\0o\0r\0]\0\r\0\n\0"sv,
     "LastPort",
     "\u03a9\u00e9",
     "",
     {"LastPort=\u03a9\u00e9"}},
};

}  // namespace profile_compat
