// A window host without a window: each control's state in memory, built from
// the dialog's layout table, the user's answers to message boxes, file
// dialogs and child dialogs taken from a script, and a timer the test fires.
//
// It behaves like the platform where the logic could tell the difference: a
// disabled control takes no clicks, an automatic check box toggles and an
// automatic radio button checks itself and clears its group before the logic
// hears of the click, setting a check or a selection from the logic notifies
// nothing, and a grayed menu offers no command. Calls with an id the layout
// does not have, or on a control of the wrong kind, fail the running test.
#pragma once

#include "ui/DialogLogic.h"
#include "ui/Layout.h"
#include "ui/WindowHost.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

class CTestWindowHost;

struct CShownMessage {
    int DialogId = 0; // the window that showed it
    std::string Text;
    EMsgIcon Icon = EMsgIcon::Information;
    EMsgButtons Buttons = EMsgButtons::Ok;
};

// One run of a child dialog, as it stood when it closed.
struct CDialogRun {
    int DialogId = 0;
    int Result = 0;
    std::map<int, std::string> Texts; // every control with an id
    std::map<int, bool> Checks;       // check boxes and radio buttons
};

// The user's side of everything modal; a window and the dialogs it opens share one.
class CTestScript {
public:
    using DialogAction = std::function<void(CTestWindowHost& dialog)>;

    // Answers for the next message boxes, in order. Without one, an OK box is
    // answered with OK and a question fails the test.
    void QueueMessageAnswer(EMsgResult answer) { m_messageAnswers.push_back(answer); }
    // Answers for the next file dialogs: a chosen path, or Cancel. Without
    // one, a file dialog fails the test.
    void QueueFileAnswer(const std::string& path) { m_fileAnswers.push_back({true, path}); }
    void QueueFileCancel() { m_fileAnswers.push_back({false, {}}); }
    // What the user does in the next run of dialog `dialogId` (after its
    // OnInitDialog). A dialog the action leaves open, or one without an
    // action, is closed with its close box.
    void QueueDialog(int dialogId, DialogAction action) {
        m_dialogActions[dialogId].push_back(std::move(action));
    }

    std::vector<CShownMessage> Messages;
    std::vector<CFileDialogRequest> FileRequests;
    std::vector<CDialogRun> Dialogs;

private:
    friend class CTestWindowHost;
    struct CFileAnswer {
        bool Chosen;
        std::string Path;
    };
    std::deque<EMsgResult> m_messageAnswers;
    std::deque<CFileAnswer> m_fileAnswers;
    std::map<int, std::deque<DialogAction>> m_dialogActions;
};

class CTestWindowHost : public IWindowHost {
public:
    CTestWindowHost(CDialogLogic& logic, CTestScript& script);
    ~CTestWindowHost() override;
    CTestWindowHost(const CTestWindowHost&) = delete;
    CTestWindowHost& operator=(const CTestWindowHost&) = delete;

    // Attaches the logic and runs its OnInitDialog.
    void Open();

    // Runs whenever the logic inserts a menu item, before the item goes in:
    // lets a test do something "while" the logic is at work.
    std::function<void()> OnMenuInsert;

    // --- the user; false when the action reached nothing (no such control,
    // disabled, not a control that reports clicks, or the dialog has ended) ---
    bool Click(int id);
    bool ChooseComboItem(int id, int index);
    bool ChooseMenu(int commandId);
    bool ChooseSysCommand(int commandId);
    void PressEnter();
    void PressEscape();
    void CloseBox();
    // Every started timer fires once.
    void FireTimers();

    // --- what the window shows ---
    const CDialogLayout& Layout() const { return m_layout; }
    bool Ended() const { return m_ended; }
    int Result() const { return m_result; }
    bool Enabled(int id) const;
    bool Checked(int id) const { return GetCheck(id); }
    std::string Text(int id) const { return GetItemText(id); }
    std::vector<std::string> ComboItems(int id) const;
    int ProgressLower(int id) const;
    int ProgressUpper(int id) const;
    int ProgressPos(int id) const;
    ECellBackground Background(int id) const;
    int RepaintCount(int id) const;
    bool MenuEnabled(int menu) const;
    // The item with this command id: its check mark and whether it is enabled.
    bool MenuItemChecked(int commandId) const;
    bool MenuItemEnabled(int commandId) const;
    std::vector<int> MenuItemIds(int menu) const;
    const std::vector<std::pair<int, std::string>>& SystemMenuItems() const { return m_systemMenu; }
    const std::map<int, unsigned>& Timers() const { return m_timers; }
    int WaitCursorDepth() const { return m_waitDepth; }
    int WaitCursorUses() const { return m_waitUses; }
    int WindowIcon() const { return m_iconId; }

    // --- IMessageBox ---
    EMsgResult Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) override;

    // --- IWindowHost ---
    void SetItemText(int id, const std::string& text) override;
    std::string GetItemText(int id) const override;
    void EnableItem(int id, bool enable) override;
    void SetCheck(int id, bool checked) override;
    bool GetCheck(int id) const override;
    void RepaintItem(int id) override;
    void ComboReset(int id) override;
    void ComboAdd(int id, const std::string& text) override;
    int ComboCount(int id) const override;
    std::string ComboText(int id, int index) const override;
    void ComboSelect(int id, int index) override;
    int ComboSelection(int id) const override;
    void SetProgressRange(int id, int lower, int upper) override;
    void SetProgressPos(int id, int position) override;
    int MenuCount() const override;
    void EnableMenu(int menu, bool enable) override;
    int MenuItemCount(int menu) const override;
    int MenuItemId(int menu, int position) const override;
    std::string MenuItemText(int menu, int position) const override;
    void CheckMenuItem(int menu, int position, bool checked) override;
    void EnableMenuItem(int menu, int position, bool enable) override;
    void InsertMenuItem(int menu, int position, int id, const std::string& text) override;
    void DeleteMenuItem(int menu, int position) override;
    bool AppendSystemMenuItem(int commandId, const std::string& text) override;
    int RunModalDialog(CDialogLogic& dialog) override;
    bool RunFileDialog(const CFileDialogRequest& request, std::string& path) override;
    void EndDialog(int result) override;
    void SetWindowIcon(int iconId) override { m_iconId = iconId; }
    void StartTimer(int timerId, unsigned periodMs) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;

private:
    struct CControlState {
        const CControlDef* Def = nullptr;
        std::string Text;
        bool Enabled = true;
        bool Checked = false;
        std::vector<std::string> Items;
        int Selection = -1;
        int Lower = 0;
        int Upper = 100;
        int Position = 0;
        int Repaints = 0;
    };
    struct CMenuItemState {
        int Id = 0;
        std::string Text;
        bool CheckItem = false;
        bool Checked = false;
        bool Enabled = true;
    };
    struct CMenuState {
        std::string Text;
        bool Enabled = true;
        std::vector<CMenuItemState> Items;
    };

    // The control with `id`, of one of `kinds` when any are given; fails the
    // test and returns null otherwise.
    CControlState* Control(int id, std::initializer_list<EControlKind> kinds = {});
    const CControlState* Control(int id, std::initializer_list<EControlKind> kinds = {}) const;
    const CMenuItemState* MenuItem(int menu, int position) const;
    CMenuItemState* MenuItem(int menu, int position);
    const CMenuItemState* MenuItemById(int commandId) const;

    CDialogLogic& m_logic;
    CTestScript& m_script;
    const CDialogLayout& m_layout;
    std::map<int, CControlState> m_controls;
    std::vector<CMenuState> m_menus;
    std::vector<std::pair<int, std::string>> m_systemMenu;
    std::map<int, unsigned> m_timers;
    bool m_ended = false;
    int m_result = 0;
    int m_waitDepth = 0;
    int m_waitUses = 0;
    int m_iconId = 0;
};
