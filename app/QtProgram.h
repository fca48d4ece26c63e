// The window programs on Qt: the application object's window runner, and
// the whole of a program's main().
#pragma once

#include "app/KVX3App.h"

// Runs the main window modally in the Qt window host.
class CQtMainWindowRunner : public IMainWindowRunner {
public:
    int RunModal(CKVX3Dlg& window) override;
};

// What the window programs set on the QApplication before the window
// exists: the program's name and icon, the style, and the loop's rules.
void SetUpQtApplication();

// The application: Qt's own start-up (it takes its platform options from
// the command line; nothing else there is read), SetUpQtApplication, then
// the application object with `backend`. Returns the process's exit status.
int RunQtProgram(int argc, char** argv, EAppBackend backend);
