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

// One request for the five keys, so that the file is read once.
TEST_F(SettingsFileTest, LoadsFromBesideTheProgramInKeyOrder) {
  Store("BinName", "client.bin");
  Store("LastIp", "10.1.2.3");
  settings.LoadFields();
  EXPECT_EQ(profile.calls,
            (std::vector<std::string>{"read BinName, LastIp, LastServerName, LastPort, LastTileSet "
                                      "from /games/kestrune/game.ini"}));
}

TEST_F(SettingsFileTest, EachReadOperationHasItsOwnDefault) {
  EXPECT_EQ(settings.ReadBin("Connector", "BinName", "game.ini"), "kestrune.bin");
  EXPECT_EQ(settings.ReadIP("Connector", "LastIp", "game.ini"), "127.0.0.1");
  EXPECT_EQ(settings.ReadName("Connector", "LastServerName", "game.ini"), "NAME");
  EXPECT_EQ(settings.ReadPort("Connector", "LastPort", "game.ini"), "2597");
  EXPECT_EQ(settings.ReadTileset("Connector", "LastTileSet", "game.ini"), "0");
  Store("LastPort", "7000");
  EXPECT_EQ(settings.ReadPort("Connector", "LastPort", "game.ini"), "7000");
  EXPECT_EQ(profile.calls.back(), "read LastPort from /games/kestrune/game.ini");
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
