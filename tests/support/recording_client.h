// A stand-in client for the Linux tests: a shell script that records how it
// was started beside itself in "record", each argument in brackets on a line
// of its own, then its working directory and whether it leads a session of
// its own. The record is renamed into place, so it is never read half-written.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

inline constexpr const char* kRecordingClient = R"sh(#!/bin/sh
out="$(dirname "$0")/record"
{
  for arg in "$0" "$@"; do printf '[%s]\n' "$arg"; done
  printf 'cwd=%s\n' "$(pwd)"
  sid=$(cut -d' ' -f6 /proc/$$/stat)
  [ "$sid" = "$$" ] && echo "own session"
} > "$out.tmp"
mv "$out.tmp" "$out"
)sh";

// The record of a client started with `argv` in `folder`, in a session of
// its own.
inline std::string Recorded(const std::vector<std::string>& argv,
                            const std::filesystem::path& folder) {
  std::string record;
  for (const std::string& argument : argv) record += "[" + argument + "]\n";
  return record + "cwd=" + folder.string() + "\nown session\n";
}

}  // namespace testing_support
