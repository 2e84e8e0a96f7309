// The yardsticks: the least a Qt Widgets program does to show one dialog,
// either empty (no argument) or with one line of text and an OK button
// (argument "text"), which is what any dialog that says something pays for:
// the font configuration, one font and the shaping of its text. Prints
// "shown" at the same point the wizard's benchmark build does (the dialog
// painted), then ends.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

#include "first_paint_marker.h"

int main(int argc, char** argv) {
    const bool withText = argc > 1 && std::strcmp(argv[1], "text") == 0;
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    FirstPaintMarker marker([] { QApplication::quit(); });
    QDialog dialog;
    if (withText) {
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(new QLabel(QStringLiteral("Welcome to the firmware upgrade.")));
        layout->addWidget(new QPushButton(QStringLiteral("OK")));
    }
    dialog.show();
    return application.exec();
}
