#include "actions/launch_client.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace {

using actions::LaunchOutcome;
using settings::ConnectorFields;

const ConnectorFields kDefaults{"kestrune.bin", "NAME", "127.0.0.1", "2597", "0"};
// U+1F3AE, outside the Basic Multilingual Plane: two UTF-16 code units.
const std::string kGamepad = "\xF0\x9F\x8E\xAE";

class LaunchClientTest : public testing::Test {
 protected:
  fakes::FileSearch files;
  fakes::ProcessStart processes;
  actions::ClientLauncher launcher{files, processes};

  void SetUp() override { files.files = {"kestrune.bin"}; }
};

TEST_F(LaunchClientTest, DefaultFieldsLaunchWithTheirCommandLine) {
  EXPECT_EQ(launcher.LaunchClient(kDefaults).outcome, LaunchOutcome::kLaunched);
  ASSERT_EQ(processes.started.size(), 1u);
  EXPECT_EQ(processes.started[0].first, "kestrune.bin");
  EXPECT_EQ(processes.started[0].second, "kestrune.bin NAME 127.0.0.1 2597 0");
}

TEST_F(LaunchClientTest, AMissingClientIsReportedBeforeAnyOtherCheck) {
  struct Case {
    ConnectorFields fields;
    std::string message;
  };
  const Case cases[] = {
      {{"absent.bin", "NAME", "127.0.0.1", "2597", "0"}, "absent.bin not found!"},
      {{"absent.bin", "", "", "", ""}, "absent.bin not found!"},
      {{"", "NAME", "127.0.0.1", "2597", "0"}, " not found!"},
  };
  for (const Case& c : cases) {
    actions::LaunchResult result = launcher.LaunchClient(c.fields);
    EXPECT_EQ(result.outcome, LaunchOutcome::kNotFound) << c.message;
    EXPECT_EQ(result.message, c.message);
  }
  EXPECT_TRUE(processes.started.empty());
}

TEST_F(LaunchClientTest, NameAndAddressChecks) {
  struct Case {
    std::string name, address;
    LaunchOutcome outcome;
  };
  const Case cases[] = {
      {"N", "h", LaunchOutcome::kLaunched},
      {"ABCDEFGHIJKLMN", "h", LaunchOutcome::kLaunched},  // 14
      {"ABCDEFGHIJKLMNO", "h", LaunchOutcome::kRefused},  // 15
      {"", "127.0.0.1", LaunchOutcome::kRefused},
      {"NAME", "", LaunchOutcome::kRefused},
      {"ÄÖÜäöüßéèêàâçñ", "h", LaunchOutcome::kLaunched},           // 14 characters, 28 bytes
      {kGamepad + "ABCDEFGHIJKL", "h", LaunchOutcome::kLaunched},  // 2 + 12 units
      {kGamepad + "ABCDEFGHIJKLM", "h", LaunchOutcome::kRefused},  // 2 + 13 units
  };
  for (const Case& c : cases) {
    actions::LaunchResult result =
        launcher.LaunchClient({"kestrune.bin", c.name, c.address, "", ""});
    EXPECT_EQ(result.outcome, c.outcome) << c.name << " / " << c.address;
    EXPECT_EQ(result.message, "");
  }
}

TEST_F(LaunchClientTest, EmptyPortAndTilesetStillLaunch) {
  ASSERT_EQ(launcher.LaunchClient({"kestrune.bin", "NAME", "h", "", ""}).outcome,
            LaunchOutcome::kLaunched);
  EXPECT_EQ(processes.started.at(0).second, "kestrune.bin NAME h  ");
}

TEST_F(LaunchClientTest, AStartFailureCarriesTheSystemsReason) {
  processes.failure = "kestrune.bin: Exec format error";
  actions::LaunchResult result = launcher.LaunchClient(kDefaults);
  EXPECT_EQ(result.outcome, LaunchOutcome::kFailed);
  EXPECT_EQ(result.message, "kestrune.bin: Exec format error");
}

TEST(WithoutBlanks, CleansTheWordFieldsButKeepsTheClientPath) {
  ConnectorFields cleaned =
      actions::WithoutBlanks({"my games/client bin", " N A\tME ", " 127.0.0.1\t", "25 97", "\t0"});
  EXPECT_EQ(cleaned, (ConnectorFields{"my games/client bin", "NAME", "127.0.0.1", "2597", "0"}));
}

TEST(Utf16Length, CountsCodeUnits) {
  struct Case {
    std::string text;
    std::size_t units;
  };
  const Case cases[] = {
      {"", 0},
      {"NAME", 4},
      {"\xC3\xA9", 1},                     // é
      {"\xE2\x82\xAC", 1},                 // €
      {"\xF0\x9F\x8E\xAE", 2},             // outside the BMP: a surrogate pair
      {"\xFF\xC3", 2},                     // invalid bytes count one each
      {std::string("\xE2\x82") + 'A', 3},  // a truncated sequence, then A
  };
  for (const Case& c : cases) EXPECT_EQ(actions::Utf16Length(c.text), c.units) << c.text;
}

}  // namespace
