#include "app/main_window.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "fakes.h"

namespace {

using namespace app;  // the control names

class FrmMainTest : public testing::Test {
 protected:
  fakes::ProfileFile profile;
  fakes::FileSearch files;
  fakes::ProcessStart processes;
  settings::SettingsFile settings{profile, "/opt/game/"};
  actions::ClientLauncher launcher{files, processes};
  fakes::NetworkAwareness network;
  actions::ReachabilityTest reachability{network, "."};
  FrmMain frmMain{settings, launcher, reachability};
  fakes::FormView form{FrmMainLayout()};

  void SetUp() override {
    files.files = {"kestrune.bin"};
    frmMain.Load(form);
  }
  std::string Stored(const std::string& key) {
    return profile.values[{"/opt/game/game.ini", "Connector", key}];
  }
};

TEST(FrmMainLayout, MatchesTheDesignedWindow) {
  const platform::FormLayout& layout = FrmMainLayout();
  EXPECT_EQ(layout.caption, "Dedozeroz Adodivu");
  EXPECT_EQ(layout.clientWidth, 4680);
  EXPECT_EQ(layout.clientHeight, 3360);
  ASSERT_EQ(layout.controls.size(), kControlCount);
  EXPECT_EQ(layout.controls[txtName].name, "txtName");
  EXPECT_EQ(layout.controls[txtIP].name, "txtIP");
  EXPECT_EQ(layout.controls[btnConnect].name, "btnConnect");
  EXPECT_EQ(layout.controls[txtTileSet].name, "txtTileSet");
  EXPECT_EQ(layout.controls[Label6].name, "Label6");
  // Every control lies inside the client area.
  for (const platform::ControlLayout& control : layout.controls) {
    EXPECT_LE(control.left + control.width, layout.clientWidth) << control.name;
    EXPECT_LE(control.top + control.height, layout.clientHeight) << control.name;
  }
  const std::set<std::string_view> bold{"Label1", "Label2", "Label3", "Label5", "Label6"};
  for (const platform::ControlLayout& control : layout.controls) {
    EXPECT_EQ(control.font.bold, bold.contains(control.name)) << control.name;
    EXPECT_EQ(control.font.points, control.font.bold ? 12 : 8) << control.name;
  }
}

TEST(FrmMainLayout, EachTextBoxIsNamedByItsLabelAndNothingElseIs) {
  const std::map<std::size_t, std::string_view> names{
      {txtName, "NAME:"},    {txtIP, "IP ADDRESS:"},
      {txtBin, "BIN NAME:"}, {txtDataSize, "Test Data Size"},
      {txtport, "Port:"},    {txtTileSet, "Tileset:"}};
  const platform::FormLayout& layout = FrmMainLayout();
  for (std::size_t i = 0; i < layout.controls.size(); ++i) {
    const platform::ControlLayout& control = layout.controls[i];
    ASSERT_EQ(control.label.has_value(), names.contains(i)) << control.name;
    if (!control.label) continue;
    ASSERT_LT(control.label.value(), layout.controls.size()) << control.name;
    const platform::ControlLayout& label = layout.controls[control.label.value()];
    EXPECT_EQ(label.kind, platform::ControlKind::kLabel) << control.name;
    EXPECT_EQ(label.caption, names.at(i)) << control.name;
  }
}

TEST_F(FrmMainTest, LoadShowsTheSavedFieldsAndTheDefaultDataSize) {
  EXPECT_EQ(form.texts[txtBin], "kestrune.bin");
  EXPECT_EQ(form.texts[txtIP], "127.0.0.1");
  EXPECT_EQ(form.texts[txtName], "NAME");
  EXPECT_EQ(form.texts[txtport], "2597");
  EXPECT_EQ(form.texts[txtTileSet], "0");
  EXPECT_EQ(form.texts[txtDataSize], "5");
}

TEST_F(FrmMainTest, ConnectLaunchesTheCleanedFieldsAndCloses) {
  form.texts[txtName] = " My Server ";
  frmMain.Click(form, btnConnect);
  EXPECT_TRUE(form.closed);
  EXPECT_EQ(form.texts[txtName], "MyServer");
  ASSERT_EQ(processes.started.size(), 1u);
  EXPECT_EQ(processes.started[0].second, "kestrune.bin MyServer 127.0.0.1 2597 0");
  EXPECT_TRUE(Stored("LastServerName").empty()) << "Connect must not save";
}

TEST_F(FrmMainTest, ConnectRefusalsAndFailuresKeepTheWindowAndFields) {
  struct Case {
    Control field;
    std::string text;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {txtName, "", {}},
      {txtIP, " ", {}},
      {txtBin, "missing.bin", {"missing.bin not found!"}},
  };
  for (const Case& c : cases) {
    fakes::FormView view{FrmMainLayout()};
    frmMain.Load(view);
    view.texts[c.field] = c.text;
    frmMain.Click(view, btnConnect);
    EXPECT_FALSE(view.closed) << c.text;
    EXPECT_EQ(view.messages, c.messages);
  }
  EXPECT_TRUE(processes.started.empty());
}

TEST_F(FrmMainTest, AClientThatCannotStartIsReportedAndTheWindowStays) {
  processes.failure = "kestrune.bin: Permission denied";
  frmMain.Click(form, btnConnect);
  EXPECT_FALSE(form.closed);
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_NE(form.messages[0].find("kestrune.bin: Permission denied"), std::string::npos);
  EXPECT_EQ(form.texts[txtName], "NAME");
}

TEST_F(FrmMainTest, SaveIsSilentAndStoresTheFieldsAsTyped) {
  form.texts[txtName] = " spaced name ";
  frmMain.Click(form, cmdSave);
  EXPECT_TRUE(form.messages.empty());
  EXPECT_FALSE(form.closed);
  EXPECT_EQ(Stored("LastServerName"), " spaced name ");
  EXPECT_EQ(Stored("BinName"), "kestrune.bin");
}

TEST_F(FrmMainTest, AFailedSaveIsReportedOnce) {
  profile.failingKeys = {"BinName", "LastIp", "LastServerName", "LastPort", "LastTileSet"};
  frmMain.Click(form, cmdSave);
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_NE(form.messages[0].find("/opt/game/game.ini: Read-only file system"), std::string::npos);
  EXPECT_FALSE(form.closed);
}

TEST_F(FrmMainTest, CancelClosesWithoutSaving) {
  form.texts[txtName] = "edited";
  frmMain.Click(form, btnCancel);
  EXPECT_TRUE(form.closed);
  EXPECT_TRUE(profile.values.empty());
}

TEST_F(FrmMainTest, TestShowsOneMessageAndChangesNothing) {
  form.texts[txtIP] = "10.1.2.3";
  form.texts[txtDataSize] = "64";
  const std::vector<std::string> before = form.texts;
  for (bool reachable : {true, false}) {
    network.reachable = reachable;
    form.messages.clear();
    frmMain.Click(form, btnTest);
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].starts_with("The destination can be reached!"), reachable);
  }
  ASSERT_EQ(network.asked.size(), 2u);
  EXPECT_EQ(network.asked[0].first, "10.1.2.3");
  EXPECT_EQ(network.asked[0].second.dwSize, 64u);
  EXPECT_EQ(form.texts, before);
  EXPECT_FALSE(form.closed);
  for (const std::string& call : profile.calls) EXPECT_FALSE(call.starts_with("write")) << call;
}

TEST_F(FrmMainTest, AnOverflowingDataSizeIsReportedAndTheWindowStays) {
  form.texts[txtDataSize] = "1e10";
  frmMain.Click(form, btnTest);
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_NE(form.messages[0].find("Overflow"), std::string::npos);
  EXPECT_TRUE(network.asked.empty());
  EXPECT_FALSE(form.closed);
  EXPECT_EQ(form.texts[txtDataSize], "1e10");
}

}  // namespace
