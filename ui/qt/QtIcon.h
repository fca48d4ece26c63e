// The program's icon (icon resource 128), drawn at every size it is asked
// for, so that the window, the task bar and the about box need no file.
#pragma once

#include <QIcon>
#include <QPixmap>

QIcon ProgramIcon();
QPixmap ProgramIconPixmap(int size);
