// What the window logic needs from the platform's window system, for one
// open dialog: its controls, its menu bar, the modal things it opens, its
// timer and the wait cursor. The Qt host implements it with real widgets
// built from the layout tables; the test host keeps everything in memory.
//
// The host builds the window from the dialog logic's layout (ui/Layout.h),
// then forwards the user's actions to the logic (CDialogLogic's On...
// handlers). Control ids are those of the layout; a host treats an id the
// layout does not have as a programming error.
//
// Every call comes on the window's own thread.
#pragma once

#include "device/UserPrompt.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CDialogLogic;

// --------------------------------------------------------- cell backgrounds

// The three backgrounds a configuration cell can have.
enum class ECellBackground { Default, Set, Protected };

struct CRgb {
    uint8_t R = 0;
    uint8_t G = 0;
    uint8_t B = 0;
    bool operator==(const CRgb& other) const = default;
};
constexpr CRgb kRgbCellSet = {200, 255, 200};       // light green: a bit that is 1
constexpr CRgb kRgbCellProtected = {255, 200, 200}; // light red: protection active

// The background of a configuration cell from its flags. With the protect
// view on, a protect bit is coloured exactly when it is 0 (protection
// active); otherwise every bit is green when it is 1. The text colour never
// changes; on a coloured cell the text is drawn over the colour.
ECellBackground DecideCellBackground(bool value, bool protect, bool viewProtect);
// The colour of a coloured background; false for Default (the window's own).
bool CellBackgroundRgb(ECellBackground background, CRgb& rgb);

// ------------------------------------------------------------ file dialogs

// Options of the open and save dialogs, with the platform's values.
enum : uint32_t {
    kFileOverwritePrompt = 0x0002, // ask before replacing an existing file
    kFileHideReadOnly = 0x0004,    // no "open read-only" box
    kFileMustExist = 0x1000,       // the chosen file must exist
};

struct CFileDialogRequest {
    bool Save = false;
    std::string Filter;      // "Text (*.x)|*.x|All Files (*.*)|*.*||" (ParseFileFilter)
    std::string DefaultExt;  // without the dot; "" for none
    std::string InitialName; // "" for none
    uint32_t Options = 0;
};

struct CFileFilter {
    std::string Description;           // "Hex Files (*.hex)"
    std::vector<std::string> Patterns; // "*.hex"
    bool operator==(const CFileFilter& other) const = default;
};

// Splits a filter of description|patterns pairs (patterns separated by ';',
// the list ending in "||" or at the end of the text) into its entries. A
// description without patterns is dropped.
std::vector<CFileFilter> ParseFileFilter(std::string_view filter);

// ------------------------------------------------------------ the host

class IWindowHost : public IMessageBox {
public:
    // --- controls, by layout id ---
    virtual void SetItemText(int id, const std::string& text) = 0;
    virtual std::string GetItemText(int id) const = 0;
    virtual void EnableItem(int id, bool enable) = 0;
    // Check boxes and radio buttons. Setting a check never notifies the logic.
    virtual void SetCheck(int id, bool checked) = 0;
    virtual bool GetCheck(int id) const = 0;
    // Draws the control again; for a cell this asks the logic for its
    // background anew (CDialogLogic::ControlBackground).
    virtual void RepaintItem(int id) = 0;

    // --- the drop-down list; item indexes from 0 ---
    virtual void ComboReset(int id) = 0;
    virtual void ComboAdd(int id, const std::string& text) = 0;
    virtual int ComboCount(int id) const = 0;
    virtual std::string ComboText(int id, int index) const = 0;
    // -1 clears the selection. Never notifies the logic.
    virtual void ComboSelect(int id, int index) = 0;
    // -1 when nothing is selected.
    virtual int ComboSelection(int id) const = 0;

    // --- progress bar; a position outside the range shows as the nearer end ---
    virtual void SetProgressRange(int id, int lower, int upper) = 0;
    virtual void SetProgressPos(int id, int position) = 0;

    // --- the menu bar, by position. Top-level menus (pull-downs) count from
    // 0; items inside one count from 0. Item ids: 0 for a separator. ---
    virtual int MenuCount() const = 0;
    // Grays (false) or enables a whole pull-down menu.
    virtual void EnableMenu(int menu, bool enable) = 0;
    virtual int MenuItemCount(int menu) const = 0;
    virtual int MenuItemId(int menu, int position) const = 0;
    virtual std::string MenuItemText(int menu, int position) const = 0;
    virtual void CheckMenuItem(int menu, int position, bool checked) = 0;
    virtual void EnableMenuItem(int menu, int position, bool enable) = 0;
    // Inserts before `position` (the item count appends).
    virtual void InsertMenuItem(int menu, int position, int id, const std::string& text) = 0;
    virtual void DeleteMenuItem(int menu, int position) = 0;
    // Adds a command to the window's system menu (after a separator); its
    // choice comes to CDialogLogic::OnSysCommand. False when the window has
    // no system menu.
    virtual bool AppendSystemMenuItem(int commandId, const std::string& text) = 0;

    // --- modal things; the timer keeps running under them ---
    // Message boxes: IMessageBox::Show.
    // Runs a child dialog modally over this window: builds it from the
    // child's layout, attaches the child, calls its OnInitDialog and returns
    // the result it passed to EndDialog (kIdCancel when the window was closed).
    virtual int RunModalDialog(CDialogLogic& dialog) = 0;
    // The platform's open or save dialog. True with the chosen full path;
    // false when the user cancelled.
    virtual bool RunFileDialog(const CFileDialogRequest& request, std::string& path) = 0;

    // --- this window ---
    // Ends this dialog's modal run with `result` once the current handler returns.
    virtual void EndDialog(int result) = 0;
    // The window's icon, big and small (also what a minimised window shows
    // and what a drag shows): the program's icon resource `iconId`.
    virtual void SetWindowIcon(int iconId) = 0;
    // Calls CDialogLogic::OnTimer(timerId) every periodMs until the window
    // closes. Starting the same id again restarts it.
    virtual void StartTimer(int timerId, unsigned periodMs) = 0;
    // The wait cursor; calls nest (CWaitCursor).
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
};

// Shows the wait cursor for its lifetime.
class CWaitCursor {
public:
    explicit CWaitCursor(IWindowHost& host) : m_host(host) { m_host.BeginWaitCursor(); }
    ~CWaitCursor() { m_host.EndWaitCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    IWindowHost& m_host;
};

// Finds the menu item with this id in the pull-down menus, walking the menus
// and their items from the last to the first (deeper submenus are not
// searched). False when no item has the id.
bool FindMenuItem(const IWindowHost& host, int id, int& menu, int& position);
