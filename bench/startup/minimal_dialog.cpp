// The yardstick: the least a Qt Widgets program does to show one empty
// dialog. Prints "shown" at the same point the wizard's benchmark build does
// (the dialog is shown and its event loop runs), then ends.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <cstdio>

int main(int, char** argv) {
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    QDialog dialog;
    dialog.show();
    QTimer::singleShot(0, &dialog, [] {
        std::fputs("shown\n", stdout);
        std::fflush(stdout);
        QApplication::quit();
    });
    return application.exec();
}
