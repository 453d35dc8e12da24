// A plain, slow reading of game.ini's line format, written from its
// description in platform/profile_text.h without any of the streaming, the
// bounded fields or the early stops of the real reader: whole strings, split
// and trimmed. The fuzz targets hold the real one to it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fuzz::reference {

inline constexpr std::string_view kBlanks{" \t\r\n\v\f\x1A", 7};

inline std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

inline std::string_view CutAtNul(std::string_view text) { return text.substr(0, text.find('\0')); }

inline bool SameName(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

inline void AppendUtf8(char32_t code, std::string& out) {
  if (code < 0x80) {
    out += char(code);
  } else if (code < 0x800) {
    out += {char(0xC0 | code >> 6), char(0x80 | (code & 0x3F))};
  } else if (code < 0x10000) {
    out += {char(0xE0 | code >> 12), char(0x80 | (code >> 6 & 0x3F)), char(0x80 | (code & 0x3F))};
  } else {
    out += {char(0xF0 | code >> 18), char(0x80 | (code >> 12 & 0x3F)),
            char(0x80 | (code >> 6 & 0x3F)), char(0x80 | (code & 0x3F))};
  }
}

// UTF-16 bytes after their mark as UTF-8: a surrogate pair is one character,
// any other surrogate and a last odd byte read as U+FFFD.
inline std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::vector<char32_t> units;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned first = static_cast<unsigned char>(bytes[i]);
    const unsigned second = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(bigEndian ? first << 8 | second : second << 8 | first);
  }
  const auto isHigh = [](char32_t unit) { return unit >= 0xD800 && unit < 0xDC00; };
  const auto isLow = [](char32_t unit) { return unit >= 0xDC00 && unit < 0xE000; };
  std::string text;
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (isHigh(units[i]) && i + 1 < units.size() && isLow(units[i + 1])) {
      AppendUtf8(0x10000 + ((units[i] - 0xD800) << 10) + (units[i + 1] - 0xDC00), text);
      ++i;
    } else {
      AppendUtf8(isHigh(units[i]) || isLow(units[i]) ? 0xFFFD : units[i], text);
    }
  }
  if (bytes.size() % 2 == 1) AppendUtf8(0xFFFD, text);
  return text;
}

// UTF-8 with each byte that does not start a well-formed character replaced
// by U+FFFD, as text stored in a UTF-16 file comes back.
inline std::string WellFormedUtf8(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto at = [&](std::size_t k) {
      return i + k < text.size() ? unsigned(static_cast<unsigned char>(text[i + k])) : 0u;
    };
    const auto in = [](unsigned byte, unsigned low, unsigned high) {
      return byte >= low && byte <= high;
    };
    const auto tail = [&](std::size_t k) { return in(at(k), 0x80, 0xBF); };
    const unsigned lead = at(0);
    std::size_t length = 0;
    if (lead < 0x80) {
      length = 1;
    } else if (in(lead, 0xC2, 0xDF) && tail(1)) {
      length = 2;
    } else if ((lead == 0xE0 && in(at(1), 0xA0, 0xBF) && tail(2)) ||
               ((in(lead, 0xE1, 0xEC) || in(lead, 0xEE, 0xEF)) && tail(1) && tail(2)) ||
               (lead == 0xED && in(at(1), 0x80, 0x9F) && tail(2))) {
      length = 3;
    } else if ((lead == 0xF0 && in(at(1), 0x90, 0xBF) && tail(2) && tail(3)) ||
               (in(lead, 0xF1, 0xF3) && tail(1) && tail(2) && tail(3)) ||
               (lead == 0xF4 && in(at(1), 0x80, 0x8F) && tail(2) && tail(3))) {
      length = 4;
    }
    out += length == 0 ? std::string_view("\xEF\xBF\xBD") : text.substr(i, length);
    i += length == 0 ? 1 : length;
  }
  return out;
}

inline bool IsUtf16(std::string_view content) {
  return content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF");
}

// The text of a file: UTF-16 after its mark decoded, a UTF-8 mark skipped.
inline std::string Text(std::string_view content) {
  if (content.starts_with("\xFF\xFE")) return Utf16ToUtf8(content.substr(2), false);
  if (content.starts_with("\xFE\xFF")) return Utf16ToUtf8(content.substr(2), true);
  if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
  return std::string(content);
}

// The non-empty lines of a file's text, trimmed.
inline std::vector<std::string_view> Lines(std::string_view content) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= content.size(); ++i) {
    if (i < content.size() && content[i] != '\r' && content[i] != '\n') continue;
    const std::string_view line = Trim(content.substr(start, i - start));
    if (!line.empty()) lines.push_back(line);
    start = i + 1;
  }
  return lines;
}

struct Entry {
  enum class Kind { kComment, kHeader, kPair, kBareName };
  Kind kind = Kind::kComment;
  std::string_view name;  // a header's section, a pair's or bare name's key
  std::string_view value;
};

inline Entry Parse(std::string_view line) {
  if (line.front() == ';') return {};
  if (line.front() == '[') {
    const std::size_t close = line.rfind(']');
    if (close != std::string_view::npos) {
      return {Entry::Kind::kHeader, Trim(CutAtNul(line.substr(1, close - 1))), {}};
    }
  }
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {Entry::Kind::kBareName, Trim(CutAtNul(line)), {}};
  return {Entry::Kind::kPair, Trim(CutAtNul(line.substr(0, equals))),
          Trim(CutAtNul(line.substr(equals + 1)))};
}

// One pair of matching quotes around a value is not part of it.
inline std::string_view Unquoted(std::string_view value) {
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.front() == value.back();
  return quoted ? value.substr(1, value.size() - 2) : value;
}

inline std::string Read(std::string_view content, std::string_view section, std::string_view key,
                        std::string_view defaultValue, int bufferSize) {
  const std::size_t maxLength = bufferSize > 0 ? std::size_t(bufferSize) - 1 : 0;
  section = Trim(CutAtNul(section));
  key = Trim(CutAtNul(key));
  bool inSection = false;
  const std::string text = Text(content);
  for (std::string_view line : Lines(text)) {
    const Entry entry = Parse(line);
    if (!inSection) {
      inSection = entry.kind == Entry::Kind::kHeader && SameName(entry.name, section);
      continue;
    }
    if (entry.kind == Entry::Kind::kHeader) break;
    if (entry.kind == Entry::Kind::kComment || !SameName(entry.name, key)) continue;
    if (entry.kind == Entry::Kind::kBareName) break;
    return std::string(Unquoted(entry.value).substr(0, maxLength));
  }
  defaultValue = CutAtNul(defaultValue);
  defaultValue = defaultValue.substr(0, defaultValue.find_last_not_of(' ') + 1);
  return std::string(defaultValue.substr(0, maxLength));
}

}  // namespace fuzz::reference
