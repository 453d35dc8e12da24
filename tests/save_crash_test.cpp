// Saves that die half-way, and saves that race: game.ini, with other
// sections and comments, must always be whole, each key line holding an old
// or a new value, never a mix and never cut short.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/profile_file.h"
#include "settings/settings_file.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

using settings::ConnectorFields;
using testing_support::ExitedCleanly;
using testing_support::Names;
using testing_support::ReadFile;
using testing_support::StartChild;
using testing_support::TempFolder;

// SaveFields' order.
constexpr std::array<const char*, 5> kKeys = {"BinName", "LastIp", "LastServerName", "LastPort",
                                              "LastTileSet"};

// One set of values per tag; long ones, so that a save takes long enough to
// be cut anywhere in it.
std::array<std::string, 5> Values(const std::string& tag) {
  std::array<std::string, 5> values;
  for (std::size_t i = 0; i < values.size(); ++i) {
    values[i] = std::string(kKeys[i]) + "-" + tag + std::string(200, '.');
  }
  return values;
}

ConnectorFields Fields(const std::string& tag) {
  const auto v = Values(tag);
  return {.clientBinary = v[0],
          .serverName = v[2],
          .serverAddress = v[1],
          .port = v[3],
          .tileSet = v[4]};
}

// The file as a player keeps it, with each key's value from the set tagged
// for it.
std::string GameIni(const std::array<std::string, 5>& setOfKey) {
  std::string ini =
      "; game.ini, with notes of its own\r\n[Window]\r\nLeft=10\r\nTop=20\r\n\r\n"
      "[Connector]\r\n; the last server\r\n";
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    ini += std::string(kKeys[i]) + "=" + Values(setOfKey[i])[i] + "\r\n";
  }
  return ini + "\r\n[Other]\r\nKey=value ; not a comment\r\n";
}

std::string AllFrom(const std::string& set) { return GameIni({set, set, set, set, set}); }

// Every file a save of `next` over a file all of `previous` can leave: the
// first k keys new, the rest old.
std::vector<std::string> PossibleFiles(const std::string& previous, const std::string& next) {
  std::vector<std::string> files;
  for (std::size_t saved = 0; saved <= kKeys.size(); ++saved) {
    std::array<std::string, 5> sets;
    for (std::size_t i = 0; i < sets.size(); ++i) sets[i] = i < saved ? next : previous;
    files.push_back(GameIni(sets));
  }
  return files;
}

bool OneOf(const std::string& content, const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    if (content == file) return true;
  }
  return false;
}

// The kill test's saver: "b", "a", "b", ...
std::string Alternating(int save) { return save % 2 == 0 ? "b" : "a"; }

class SaveCrashTest : public testing::Test {
 protected:
  // The template's other lines come from writing it once by hand.
  void SetUp() override {
    folder_.Write("game.ini", AllFrom("z"));
    ASSERT_TRUE(Save(Fields("a")).ok());
  }

  platform::Status Save(const ConnectorFields& fields) const {
    return settings_.SaveFields(fields);
  }

  // A process that makes `saves` saves, the i-th of the set tagOf(i), or
  // fewer if it is killed; it exits 0 when every save worked. With `ownKey`,
  // each save also writes that key of [Connector] with the save's number.
  pid_t StartSaver(const std::function<std::string(int)>& tagOf, int saves,
                   const std::string& ownKey = "") const {
    return StartChild([=, this] {
      bool ok = true;
      for (int i = 0; i < saves; ++i) {
        ok = Save(Fields(tagOf(i))).ok() && ok;
        if (!ownKey.empty()) {
          ok = settings_.WriteString("Connector", ownKey, std::to_string(i), "game.ini").ok() && ok;
        }
      }
      return ok;
    });
  }

  TempFolder folder_;
  const std::filesystem::path ini_ = folder_ / "game.ini";
  const std::filesystem::path leftover_ = folder_ / ".game.ini.tmp";
  settings::SettingsFile settings_{platform::SystemProfileFile(), folder_.path().string() + "/"};
};

// A few hundred SIGKILLs at moments drawn with a fixed seed. The outcome does
// not depend on the moment: whatever it is, the file is whole and each key
// old or new; a temporary file may stay, but only until the next save.
TEST_F(SaveCrashTest, KilledSavesLeaveTheOldOrTheNewValueOfEachKey) {
  constexpr int kKills = 300;
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(Save(Fields("b")).ok());
  ASSERT_TRUE(Save(Fields("a")).ok());
  const auto saveTime = (std::chrono::steady_clock::now() - started) / 2;
  // Kill moments spread over the first three saves of each saver.
  const auto span = std::chrono::duration_cast<std::chrono::microseconds>(3 * saveTime);
  std::mt19937 random(20261210);
  std::uniform_int_distribution<long> moment(0, std::max<long>(span.count(), 1000));

  int leftovers = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    const pid_t saver = StartSaver(Alternating, 1000);
    usleep(useconds_t(moment(random)));
    ::kill(saver, SIGKILL);
    int status = 0;
    waitpid(saver, &status, 0);

    const std::string content = ReadFile(ini_);
    ASSERT_TRUE(OneOf(content, PossibleFiles("a", "b")) || OneOf(content, PossibleFiles("b", "a")))
        << "after kill " << kill << ":\n"
        << content;
    leftovers += std::filesystem::exists(std::filesystem::symlink_status(leftover_));

    ASSERT_TRUE(Save(Fields("a")).ok());
    ASSERT_EQ(ReadFile(ini_), AllFrom("a"));
    ASSERT_EQ(Names(folder_.path()), "game.ini ") << "after kill " << kill;
  }
  std::printf("%d kills survived; %d of them left a temporary file, gone after the next save\n",
              kKills, leftovers);
}

// Two connectors saving all five keys at once, many times, each save with
// values of its own, and each a key the other never writes. No save works on
// a stale copy, which would bring back an older value or lose the other's
// key: each key ends with the last write to it, one saver's last save or the
// other's, each saver's own key stays, and the file stays whole.
TEST_F(SaveCrashTest, ConcurrentSavesEndWithTheLastWriteToEachKey) {
  constexpr int kSaves = 100;
  const auto tagged = [](const char* saver) {
    return [saver](int save) { return saver + std::to_string(save); };
  };
  const pid_t one = StartSaver(tagged("one"), kSaves, "One");
  const pid_t two = StartSaver(tagged("two"), kSaves, "Two");
  EXPECT_TRUE(ExitedCleanly(one));
  EXPECT_TRUE(ExitedCleanly(two));

  std::string content = ReadFile(ini_);
  for (const char* ownKey : {"One", "Two"}) {
    const std::string line = std::string(ownKey) + "=" + std::to_string(kSaves - 1) + "\r\n";
    const std::size_t at = content.find(line);
    ASSERT_NE(at, std::string::npos) << ownKey << " lost: " << content;
    content.erase(at, line.size());
  }
  std::vector<std::string> possible;
  for (int mix = 0; mix < 32; ++mix) {
    std::array<std::string, 5> sets;
    for (std::size_t i = 0; i < sets.size(); ++i) sets[i] = (mix >> i & 1) ? "two99" : "one99";
    possible.push_back(GameIni(sets));
  }
  EXPECT_TRUE(OneOf(content, possible)) << ReadFile(ini_);
  EXPECT_EQ(Names(folder_.path()), "game.ini ");
}

}  // namespace
