// frmMain, the program's only window: its layout and what its events do.
// Toolkit-free; platform::RunForm draws it.
#pragma once

#include <cstddef>
#include <string_view>

#include "actions/launch_client.h"
#include "actions/reachability_test.h"
#include "platform/window.h"
#include "settings/settings_file.h"

namespace app {

// The application's title, the caption of every message box.
inline constexpr std::string_view kAppTitle = "Connector";

// The controls of frmMain, in tab order: each is its index in the layout.
// clang-format off
enum Control : std::size_t {
  txtName, txtIP, Label1, Label2, btnConnect, btnCancel, Label3, txtBin,
  btnTest, txtDataSize, Label4, cmdSave, txtport, Label5, txtTileSet, Label6,
  kControlCount
};
// clang-format on

const platform::FormLayout& FrmMainLayout();

class FrmMain : public platform::FormEvents {
 public:
  FrmMain(const settings::SettingsFile& settings, const actions::ClientLauncher& launcher,
          const actions::ReachabilityTest& reachability);

  void Load(platform::FormView& form) override;
  void Click(platform::FormView& form, std::size_t button) override;

 private:
  void ConnectClick(platform::FormView& form);
  void SaveClick(platform::FormView& form);
  void TestClick(platform::FormView& form);

  const settings::SettingsFile& settings_;
  const actions::ClientLauncher& launcher_;
  const actions::ReachabilityTest& reachability_;
};

}  // namespace app
