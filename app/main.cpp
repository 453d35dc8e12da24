// The connector: one window that starts a game client pointed at one server.
#include "actions/launch_client.h"
#include "app/main_window.h"
#include "platform/file_search.h"
#include "platform/process_start.h"
#include "platform/profile_file.h"
#include "platform/program_folder.h"
#include "platform/window.h"
#include "settings/settings_file.h"

int main() {
  settings::SettingsFile settings(platform::SystemProfileFile(), platform::ProgramFolder());
  actions::ClientLauncher launcher(platform::SystemFileSearch(), platform::SystemProcessStart());
  app::FrmMain frmMain(settings, launcher);
  return platform::RunForm(app::FrmMainLayout(), frmMain, app::kAppTitle);
}
