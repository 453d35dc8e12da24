// The connector: one window that starts a game client pointed at one server.
#include "actions/launch_client.h"
#include "actions/reachability_test.h"
#include "app/main_window.h"
#include "platform/file_search.h"
#include "platform/network_awareness.h"
#include "platform/process_start.h"
#include "platform/profile_file.h"
#include "platform/program_folder.h"
#include "platform/window.h"
#include "settings/settings_file.h"

int main() {
  settings::SettingsFile settings(platform::SystemProfileFile(), platform::ProgramFolder());
  actions::ClientLauncher launcher(platform::SystemFileSearch(), platform::SystemProcessStart());
  actions::ReachabilityTest reachability(platform::SystemNetworkAwareness(),
                                         actions::UserDecimalSeparator());
  app::FrmMain frmMain(settings, launcher, reachability);
  return platform::RunForm(app::FrmMainLayout(), frmMain, app::kAppTitle);
}
