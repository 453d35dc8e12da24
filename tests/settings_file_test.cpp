#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace {

using settings::ConnectorFields;

constexpr const char* kFolder = "/games/kestrune/";
constexpr const char* kIni = "/games/kestrune/game.ini";

class SettingsFileTest : public testing::Test {
 protected:
  fakes::ProfileFile profile;
  settings::SettingsFile settings{profile, kFolder};

  void Store(const std::string& key, const std::string& value) {
    profile.values[{kIni, "Connector", key}] = value;
  }
};

TEST_F(SettingsFileTest, FirstRunLoadsTheDefaults) {
  EXPECT_EQ(settings.LoadFields(),
            (ConnectorFields{"kestrune.bin", "NAME", "127.0.0.1", "2597", "0"}));
}

TEST_F(SettingsFileTest, LoadsFromBesideTheProgramInKeyOrder) {
  Store("BinName", "client.bin");
  Store("LastIp", "10.1.2.3");
  settings.LoadFields();
  EXPECT_EQ(profile.calls, (std::vector<std::string>{
                               "read BinName from /games/kestrune/game.ini",
                               "read LastIp from /games/kestrune/game.ini",
                               "read LastServerName from /games/kestrune/game.ini",
                               "read LastPort from /games/kestrune/game.ini",
                               "read LastTileSet from /games/kestrune/game.ini",
                           }));
}

TEST_F(SettingsFileTest, PresentKeysWinAndMissingOnesDefault) {
  Store("LastIp", "192.0.2.7");
  Store("LastPort", "");  // present but empty: stays empty
  EXPECT_EQ(settings.LoadFields(), (ConnectorFields{"kestrune.bin", "NAME", "192.0.2.7", "", "0"}));
}

TEST_F(SettingsFileTest, ReadsAreCutTo254Bytes) {
  Store("LastServerName", std::string(300, 'n'));
  EXPECT_EQ(settings.LoadFields().serverName, std::string(254, 'n'));
}

TEST_F(SettingsFileTest, SaveWritesAllFiveKeysInOrderAndReadsBack) {
  const ConnectorFields typed{"my client", "Server", "::1", "", "3"};
  ASSERT_TRUE(settings.SaveFields(typed).ok());
  EXPECT_EQ(profile.calls, (std::vector<std::string>{
                               "write BinName to /games/kestrune/game.ini",
                               "write LastIp to /games/kestrune/game.ini",
                               "write LastServerName to /games/kestrune/game.ini",
                               "write LastPort to /games/kestrune/game.ini",
                               "write LastTileSet to /games/kestrune/game.ini",
                           }));
  EXPECT_EQ(settings.LoadFields(), typed);
}

TEST_F(SettingsFileTest, AFailedKeyDoesNotStopTheOthersAndIsReported) {
  profile.failingKeys = {"LastIp"};
  platform::Status saved = settings.SaveFields({"c", "n", "a", "p", "t"});
  EXPECT_FALSE(saved.ok());
  EXPECT_EQ(saved.message(), "/games/kestrune/game.ini: Read-only file system");
  EXPECT_EQ(settings.LoadFields(), (ConnectorFields{"c", "n", "127.0.0.1", "p", "t"}));
}

}  // namespace
