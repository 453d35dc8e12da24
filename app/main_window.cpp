#include "app/main_window.h"

#include <array>

#include "app/icon/connector_icon.h"

namespace app {
namespace {

using platform::ControlKind;
using platform::ControlLayout;
using platform::FontStyle;

constexpr FontStyle kDefaultFont{"MS Sans Serif", 8, false};
constexpr FontStyle kLabelFont{"MS Sans Serif", 12, true};

// Index = Control = tab order. Each text box names its label: where the
// labels stand in tab order does not say whose they are.
constexpr std::array<ControlLayout, kControlCount> kControls{{
    {"txtName", ControlKind::kTextBox, "", 2040, 120, 2535, 375, kDefaultFont, Label1},
    {"txtIP", ControlKind::kTextBox, "", 2040, 480, 2535, 375, kDefaultFont, Label2},
    {"Label1", ControlKind::kLabel, "NAME:", 960, 120, 975, 255, kLabelFont},
    {"Label2", ControlKind::kLabel, "IP ADDRESS:", 120, 480, 1815, 255, kLabelFont},
    {"btnConnect", ControlKind::kButton, "Connect", 3120, 2280, 1455, 495, kDefaultFont},
    {"btnCancel", ControlKind::kButton, "Cancel", 240, 2280, 1455, 495, kDefaultFont},
    {"Label3", ControlKind::kLabel, "BIN NAME:", 480, 840, 1455, 255, kLabelFont},
    {"txtBin", ControlKind::kTextBox, "", 2040, 840, 2535, 375, kDefaultFont, Label3},
    {"btnTest", ControlKind::kButton, "Test", 1920, 2520, 975, 255, kDefaultFont},
    {"txtDataSize", ControlKind::kTextBox, "5", 2520, 2280, 495, 285, kDefaultFont, Label4},
    {"Label4", ControlKind::kLabel, "Test Data Size", 1800, 2160, 735, 375, kDefaultFont},
    {"cmdSave", ControlKind::kButton, "Save", 120, 120, 735, 255, kDefaultFont},
    {"txtport", ControlKind::kTextBox, "", 2040, 1200, 2535, 375, kDefaultFont, Label5},
    {"Label5", ControlKind::kLabel, "Port:", 1200, 1200, 615, 255, kLabelFont},
    {"txtTileSet", ControlKind::kTextBox, "", 2040, 1560, 2535, 375, kDefaultFont, Label6},
    {"Label6", ControlKind::kLabel, "Tileset:", 840, 1560, 975, 255, kLabelFont},
}};

// Its icon: the images for X11, resource 1 of the Windows program
// (app/connector.rc).
constexpr platform::FormIcon kIcon{.images = icon::kImages, .resource = 1};

constexpr platform::FormLayout kFrmMain{.name = "frmMain",
                                        .caption = "Dedozeroz Adodivu",
                                        .clientWidth = 4680,
                                        .clientHeight = 3360,
                                        .controls = kControls,
                                        .icon = kIcon};

settings::ConnectorFields ReadFields(const platform::FormView& form) {
  return {form.Text(txtBin), form.Text(txtName), form.Text(txtIP), form.Text(txtport),
          form.Text(txtTileSet)};
}

void ShowFields(platform::FormView& form, const settings::ConnectorFields& fields) {
  form.SetText(txtBin, fields.clientBinary);
  form.SetText(txtIP, fields.serverAddress);
  form.SetText(txtName, fields.serverName);
  form.SetText(txtport, fields.port);
  form.SetText(txtTileSet, fields.tileSet);
}

}  // namespace

const platform::FormLayout& FrmMainLayout() { return kFrmMain; }

FrmMain::FrmMain(const settings::SettingsFile& settings, const actions::ClientLauncher& launcher,
                 const actions::ReachabilityTest& reachability)
    : settings_(settings), launcher_(launcher), reachability_(reachability) {}

void FrmMain::Load(platform::FormView& form) { ShowFields(form, settings_.LoadFields()); }

void FrmMain::Click(platform::FormView& form, std::size_t button) {
  switch (button) {
    case btnConnect: ConnectClick(form); break;
    case cmdSave: SaveClick(form); break;
    case btnTest: TestClick(form); break;
    case btnCancel: form.Close(); break;
    default: break;
  }
}

void FrmMain::ConnectClick(platform::FormView& form) {
  settings::ConnectorFields fields = actions::WithoutBlanks(ReadFields(form));
  ShowFields(form, fields);
  actions::LaunchResult result = launcher_.LaunchClient(fields);
  switch (result.outcome) {
    case actions::LaunchOutcome::kLaunched: form.Close(); break;
    case actions::LaunchOutcome::kRefused: break;
    case actions::LaunchOutcome::kNotFound: form.ShowMessage(result.message); break;
    case actions::LaunchOutcome::kFailed:
      form.ShowMessage("The client could not be started.\r\n" + result.message);
      break;
  }
}

void FrmMain::SaveClick(platform::FormView& form) {
  platform::Status saved = settings_.SaveFields(ReadFields(form));
  if (!saved.ok()) form.ShowMessage("The settings could not be saved.\r\n" + saved.message());
}

void FrmMain::TestClick(platform::FormView& form) {
  form.ShowMessage(reachability_.TestDestination(form.Text(txtIP), form.Text(txtDataSize)));
}

}  // namespace app
