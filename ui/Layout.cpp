#include "ui/Layout.h"

#include "ui/LayoutTables.h"
#include "ui/ResourceIds.h"

namespace {

const CDialogLayout* const kAllDialogs[] = {
    &kMainDialog,    &kAboutDialog,       &kFunctionTestDialog,
    &kProtectDialog, &kCalibrationDialog, &kVerifyErrorDialog,
};

bool IsRadio(const CControlDef& control) {
    return control.Kind == EControlKind::RadioButton;
}

} // namespace

const CDialogLayout* FindDialogLayout(int dialogId) {
    for (const CDialogLayout* layout : kAllDialogs) {
        if (layout->Id == dialogId) {
            return layout;
        }
    }
    return nullptr;
}

const CMenuLayout* FindMenuLayout(int menuId) {
    return menuId == kMainMenu.Id ? &kMainMenu : nullptr;
}

std::span<const CDialogLayout* const> AllDialogLayouts() {
    return kAllDialogs;
}

const CControlDef* FindControl(const CDialogLayout& layout, int id) {
    if (id == kIdStatic) {
        return nullptr;
    }
    for (const CControlDef& control : layout.Controls) {
        if (control.Id == id) {
            return &control;
        }
    }
    return nullptr;
}

std::vector<int> RadioGroupOf(const CDialogLayout& layout, int id) {
    std::vector<int> group;
    const CControlDef* target = FindControl(layout, id);
    if (target == nullptr || !IsRadio(*target)) {
        return group;
    }
    bool found = false;
    for (const CControlDef& control : layout.Controls) {
        if ((control.Style & kStyleGroup) != 0) {
            if (found) {
                break;
            }
            group.clear();
        }
        if (IsRadio(control)) {
            group.push_back(control.Id);
        }
        if (&control == target) {
            found = true;
        }
    }
    return group;
}

bool IsTabStop(const CControlDef& control) {
    switch (control.Kind) {
    case EControlKind::Button:
    case EControlKind::DefaultButton:
    case EControlKind::CheckBox:
    case EControlKind::DropList:
    case EControlKind::DumpEdit:
        return true;
    case EControlKind::RadioButton:
        return (control.Style & kStyleGroup) != 0;
    default:
        return false;
    }
}
