#include "ui/AboutDlg.h"

#include "ui/LayoutTables.h"

const CDialogLayout& CAboutDlg::Layout() const {
    return kAboutDialog;
}
