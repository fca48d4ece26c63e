// The layout tables: every dialog's controls (id, kind, style, text and place
// in dialog units) and the menu bar, in the form a platform host builds its
// widgets from. Nothing about a dialog's look is written anywhere else.
//
// Dialog units are the platform's: a horizontal unit is a quarter of the
// dialog font's average character width, a vertical unit an eighth of its
// height. Places are relative to the dialog's client area.
//
// Table order is the tab order and the order of radio groups: a radio group
// is the run of radio buttons from one that starts a group (kStyleGroup) up
// to the next control that starts one.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

enum class EControlKind {
    Button,        // push button
    DefaultButton, // push button that Enter presses
    Static,        // text label
    Cell,          // sunken, centred text cell that reports clicks
    GroupBox,      // frame with a caption
    CheckBox,      // automatic check box
    RadioButton,   // automatic radio button
    DropList,      // drop-down list combo box, not sorted, no edit field
    DumpEdit,      // read-only multi-line edit with a vertical scroll bar
    ProgressBar,
    Icon, // the program's icon
};

// Style bits beyond what the kind says.
enum : uint32_t {
    kStyleGroup = 0x01,    // starts a radio group
    kStyleDisabled = 0x02, // disabled in the template
    kStyleCentre = 0x04,   // text centred
    kStyleRight = 0x08,    // text right-aligned
    kStyleNoPrefix = 0x10, // '&' in the text is shown, not a mnemonic
};

struct CRectDu {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    constexpr int Right() const { return X + Width; }
    constexpr int Bottom() const { return Y + Height; }
};

struct CControlDef {
    int Id; // kIdStatic for controls without one
    EControlKind Kind;
    const char* Text; // UTF-8; the template text, replaced at run time for many
    CRectDu Rect;     // for a DropList: the closed box
    uint32_t Style = 0;
    int DropHeight = 0; // DropList: height of the open list, in dialog units
};

struct CDialogLayout {
    int Id;
    const char* Title;
    int Width; // client area, dialog units
    int Height;
    const char* FontName;
    int FontPoints;
    int MenuId; // 0: no menu bar
    std::span<const CControlDef> Controls;
};

struct CMenuItemDef {
    int Id;                 // 0: separator
    const char* Text;       // '&' marks the mnemonic
    bool CheckItem = false; // shows a check mark when its option is on
    bool Grayed = false;    // grayed in the template
};

struct CMenuPopupDef {
    const char* Text;
    std::span<const CMenuItemDef> Items;
};

struct CMenuLayout {
    int Id;
    std::span<const CMenuPopupDef> Popups;
};

// The tables. Null for an id that has none.
const CDialogLayout* FindDialogLayout(int dialogId);
const CMenuLayout* FindMenuLayout(int menuId);
// Every dialog layout, for hosts and checks that walk them all.
std::span<const CDialogLayout* const> AllDialogLayouts();

// The control with this id in the layout; null when it has none (or for
// kIdStatic, which many controls share).
const CControlDef* FindControl(const CDialogLayout& layout, int id);

// Ids of the radio buttons in the same group as radio button `id`, in table
// order (the button itself included); empty when `id` is not a radio button.
std::vector<int> RadioGroupOf(const CDialogLayout& layout, int id);

// Whether Tab stops at the control (buttons, check boxes, the first radio of
// a group, the drop list and the dumps).
bool IsTabStop(const CControlDef& control);
