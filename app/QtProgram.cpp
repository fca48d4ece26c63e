#include "app/QtProgram.h"

#include "settings/Profile.h"
#include "ui/qt/QtIcon.h"
#include "ui/qt/QtWindowHost.h"

#include <QApplication>

int CQtMainWindowRunner::RunModal(CKVX3Dlg& window) {
    CQtWindowHost host(window);
    return host.RunModal();
}

void SetUpQtApplication() {
    const QString name = QString::fromStdString(CurrentAppName());
    QApplication::setApplicationName(name); // the title of the message boxes
    QApplication::setDesktopFileName(name);
    QApplication::setWindowIcon(ProgramIcon());
    // One style on every desktop: the layout's places are checked against
    // its frames and margins, and a theme's own style may want more room.
    QApplication::setStyle(QStringLiteral("Fusion"));
    // The window's modal run is the program's only loop: closing a message
    // box or a dialog last must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
}

int RunQtProgram(int argc, char** argv, EAppBackend backend) {
    QApplication application(argc, argv);
    SetUpQtApplication();
    CQtMainWindowRunner runner;
    return RunKVX3App(backend, runner);
}
