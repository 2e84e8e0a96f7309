// The quillet program: the wizard on Qt Widgets, the local CUPS scheduler
// (its back end loaded on first use), the registry file ($QUILLET_REGISTRY_DB,
// else the one fixed at build time) and systemd-logind for holding off sleep
// during the download.
#include <QApplication>

#include "platform/config_file_posix.h"
#include "platform/image_checksum_openssl.h"
#include "platform/image_file_posix.h"
#include "platform/inhibitor_logind.h"
#include "platform/platform_version_linux.h"
#include "platform/process_posix.h"
#include "platform/qt/dialog_framework_qt.h"
#include "platform/qt/package_start_qt.h"
#include "platform/qt/program_hooks.h"
#include "platform/qt/quit_signals.h"
#include "platform/recovery_record_posix.h"
#include "platform/registry_sqlite.h"
#include "platform/spooler_module.h"
#include "platform/user_language_posix.h"
#include "wizard/run_wizard.h"

int main(int argc, char** argv) {
    // Qt must not take options from the command line: it gets the program's
    // name alone. The program's own arguments name the upgrade package.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    quillet::QtPackageStart packageStart(argc, argv);

    quillet::PosixUserLanguage userLanguage;
    quillet::LinuxPlatformVersion platformVersion;
    quillet::QtDialogFramework framework;
    quillet::ModuleSpooler spooler(QUILLET_SPOOLER_MODULE);
    quillet::PosixImageFiles imageFiles;
    const std::string registryPath = quillet::RegistryPath(QUILLET_REGISTRY_DB);
    quillet::SqliteRegistry registry(registryPath);
    quillet::ConfigFiles& configFiles = packageStart;
    quillet::PosixRecoveryRecord recoveryRecord(registryPath);
    quillet::PosixProcessLauncher launcher;
    quillet::LogindInhibitor inhibitor;
    quillet::OpenSslImageChecksums imageChecksums;
    // The ends that skip shutdown write the autorun value back from a thread
    // of their own, through a registry object of their own.
    quillet::SqliteRegistry rescueRegistry(registryPath);
    quillet::QuitOnSignals quitOnSignals(framework, recoveryRecord, rescueRegistry);
    // No event loop runs while a job is spooled; a signal must end its waits.
    spooler.EndWaitsOnQuit(quillet::QuitOnSignals::QuitRequested());
    const std::unique_ptr<quillet::ProgramHooks> hooks = quillet::MakeProgramHooks(framework);
    if (!packageStart.ChooseIfAsked(framework)) {
        return 0;
    }

    return quillet::RunWizard({userLanguage, platformVersion, framework, spooler, imageFiles,
                               registry, configFiles, recoveryRecord, inhibitor, imageChecksums},
                              framework, launcher);
}
