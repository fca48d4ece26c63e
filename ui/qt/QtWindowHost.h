// The window host on Qt Widgets: one dialog of the layout tables as a real
// window, its controls, menu bar, timers and modal things, with the user's
// actions forwarded to the dialog's logic (ui/DialogLogic.h).
//
// Every control is built from the layout table: its kind, text, style and
// place in dialog units, converted with the dialog font's base units
// (QtDialogUnits.h). The menu bar, when the dialog has one, sits above the
// client area, so the controls keep the places the table gives them inside
// it. Table order is the tab order; a group box lies behind the controls it
// frames. Enter presses the default button, Escape and the close box are
// Cancel. The system menu, which Qt does not reach, is the window's context
// menu: its commands come to CDialogLogic::OnSysCommand.
//
// The platform decides what the user sees in a message box and a file
// dialog, and a test cannot answer a modal window that blocks it; so both
// have a seam. With a seam set, the host still builds the QMessageBox or
// QFileDialog exactly as it would show it, and hands it to the seam instead
// of running it.
//
// Every call comes on the GUI thread.
#pragma once

#include "ui/DialogLogic.h"
#include "ui/Layout.h"
#include "ui/WindowHost.h"
#include "ui/qt/QtDialogUnits.h"

#include <QDialog>
#include <QMessageBox>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QAction;
class QButtonGroup;
class QFileDialog;
class QLabel;
class QMenu;
class QMenuBar;
class QTimer;

class CQtWindowHost : public QDialog, public IWindowHost {
public:
    // Answers a message box in place of the user: the button chosen.
    using MessageBoxSeam = std::function<QMessageBox::StandardButton(QMessageBox& box)>;
    // Answers a file dialog in place of the user: true with the chosen path.
    using FileDialogSeam = std::function<bool(QFileDialog& dialog, std::string& path)>;

    // Builds the window for `logic`'s layout; nothing is attached yet.
    explicit CQtWindowHost(CDialogLogic& logic, QWidget* parent = nullptr);
    ~CQtWindowHost() override;
    CQtWindowHost(const CQtWindowHost&) = delete;
    CQtWindowHost& operator=(const CQtWindowHost&) = delete;

    // Attaches the logic, runs its OnInitDialog and puts the focus on the
    // first control that takes it. The window is not shown.
    void AttachLogic();
    // AttachLogic, then the modal run until the logic ends the dialog or the user
    // closes it; detaches the logic. The result the logic passed to
    // EndDialog; kIdCancel when it never did.
    int RunModal();
    // Detaches the logic (no more handlers run) and stops the timers.
    void Detach();

    // --- what the window shows, for the application and for tests ---
    const CDialogLayout& DialogLayout() const { return m_layout; }
    // The widget of control `id`; null for an id the layout does not have.
    QWidget* ControlWidget(int id) const;
    // The widget of the layout's control at `index` (statics included).
    QWidget* WidgetAt(size_t index) const;
    // The client area's top edge in the window (below the menu bar).
    int ClientTop() const { return m_clientTop; }
    const CDialogBaseUnits& BaseUnits() const { return m_units; }
    QMenuBar* MenuBar() const { return m_pMenuBar; }
    // The pull-down menu at `position`; null when there is none.
    QMenu* Menu(int position) const;
    // The window's context menu, which stands in for the system menu.
    QMenu* SystemMenu() const { return m_pSystemMenu; }
    // The actions of the system menu's commands (separators left out).
    std::vector<QAction*> SystemMenuCommands() const;
    bool Ended() const { return m_ended; }
    int Result() const { return m_result; }
    int WaitCursorDepth() const { return m_waitDepth; }

    static void SetMessageBoxSeam(MessageBoxSeam seam);
    static void SetFileDialogSeam(FileDialogSeam seam);

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
    void SetWindowIcon(int iconId) override;
    void StartTimer(int timerId, unsigned periodMs) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;

protected:
    // Escape and the close box.
    void reject() override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct CControl {
        const CControlDef* Def = nullptr;
        QWidget* Widget = nullptr;
        std::string Text; // as the logic set it
    };

    // --- building (QtWindowHostBuild.cpp) ---
    void BuildControls();
    QWidget* CreateControl(const CControlDef& def);
    void BuildMenuBar();
    QAction* CreateMenuAction(QMenu* menu, int id, const std::string& text);

    // The control with `id`, of one of `kinds` when any are given. An id the
    // layout does not have, or a control of another kind, is a programming
    // error: it is reported once on the console and the call does nothing.
    CControl* Find(int id, std::initializer_list<EControlKind> kinds = {});
    const CControl* Find(int id, std::initializer_list<EControlKind> kinds = {}) const;
    QAction* MenuAction(int menu, int position) const;
    // Narrows a cell's font until its text fits, when it does not.
    void FitCellText(QLabel* cell) const;
    // Asks the logic for a cell's background and paints the cell with it.
    void ApplyCellBackground(const CControl& control);
    // The user's actions, forwarded while the logic is attached.
    bool Accepting() const { return m_attached && !m_ended; }
    void ForwardCommand(int id);
    void ForwardMenuCommand(QAction* action);

    CDialogLogic& m_logic;
    const CDialogLayout& m_layout;
    QFont m_font;
    CDialogBaseUnits m_units;
    int m_clientTop = 0;
    std::vector<CControl> m_controls; // in table order
    std::map<int, size_t> m_byId;
    std::vector<QButtonGroup*> m_radioGroups;
    QMenuBar* m_pMenuBar = nullptr;
    std::vector<QMenu*> m_menus;
    QMenu* m_pSystemMenu = nullptr;
    std::map<int, QTimer*> m_timers;
    bool m_attached = false;
    bool m_ended = false;
    int m_result = kIdCancel;
    int m_waitDepth = 0;
};
