#include "platform/qt/package_start_qt.h"

#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>

#include "app/upgrade_app.h"
#include "platform/qt/dialog_framework_qt.h"
#include "platform/qt/page_window.h"

namespace quillet {

QtPackageStart::QtPackageStart(int argc, char** argv)
    : start_(StartFromArguments({argv + 1, argv + argc}, folder_)) {
    // Wayland's task bars find the windows' icon and name by the entry.
    QGuiApplication::setDesktopFileName(kDesktopEntryId);
}

bool QtPackageStart::ChooseIfAsked(QtDialogFramework& framework) {
    if (start_ != PackageStart::ChooseFile) {
        return true;
    }
    const QString name = kConfigFileName;
    // The configuration box's caption, the same in every language.
    QFileDialog dialog(nullptr, kConfigErrorCaption, QString(), name + " (" + name + ")");
    dialog.setObjectName(QStringLiteral("packageDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setWindowIcon(ProgramIcon());
    if (!framework.RunModalDialog(dialog) || dialog.result() != QDialog::Accepted ||
        dialog.selectedFiles().isEmpty()) {
        return false;
    }
    start_ = EnterPackageFolder(QFile::encodeName(dialog.selectedFiles().front()).toStdString(),
                                folder_);
    return true;
}

std::FILE* QtPackageStart::Open(const std::string& path) {
    return start_ == PackageStart::Unusable ? nullptr : configFiles_.Open(path);
}

}  // namespace quillet
