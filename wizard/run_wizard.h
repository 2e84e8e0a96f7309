// The whole program run, for main(): start-up, the pages, shutdown.
#pragma once

#include "app/dialog_framework.h"
#include "app/upgrade_app.h"
#include "wizard/process_launcher.h"

namespace quillet {

// Builds the application object over the services and the framework, runs
// start-up (the pages run inside it), then shutdown. Returns shutdown's exit
// status. Everything passed in must outlive the call; `services.messageBoxes`
// is the framework's own message boxes, so that a page's box gets the page as
// parent.
int RunWizard(PlatformServices services, DialogFramework& framework, ProcessLauncher& launcher);

}  // namespace quillet
