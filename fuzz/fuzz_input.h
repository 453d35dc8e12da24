// Cutting one fuzz input into the texts a target needs, so that seeds stay
// readable: the first fields end at a NUL byte, the last one is the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// `count` fields: count - 1 NUL-terminated ones (missing ones are empty) and
// the rest of the input, NUL bytes and all.
inline std::vector<std::string_view> Fields(std::string_view input, std::size_t count) {
  std::vector<std::string_view> fields;
  while (fields.size() + 1 < count) {
    const std::size_t end = input.find('\0');
    fields.push_back(input.substr(0, end));
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
  }
  fields.push_back(input);
  return fields;
}

// A broken property is a finding: say which, and stop the way a sanitizer does.
inline void Check(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", property);
  std::abort();
}

}  // namespace fuzz
