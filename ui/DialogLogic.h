// The toolkit-free half of a dialog: what its controls show and what the
// user's actions do. A host (ui/WindowHost.h) builds the window from
// Layout(), attaches itself, calls OnInitDialog, forwards the user's actions
// to the handlers below, and detaches when the dialog has ended.
#pragma once

#include "ui/Layout.h"
#include "ui/ResourceIds.h"
#include "ui/WindowHost.h"

class CDialogLogic {
public:
    CDialogLogic() = default;
    virtual ~CDialogLogic() = default;
    CDialogLogic(const CDialogLogic&) = delete;
    CDialogLogic& operator=(const CDialogLogic&) = delete;

    virtual const CDialogLayout& Layout() const = 0;

    // --- called by the host ---
    // The host this dialog runs in; null once it has closed.
    void Attach(IWindowHost* host) { m_pHost = host; }
    bool Attached() const { return m_pHost != nullptr; }

    // After the window and its controls exist, before it is shown. True lets
    // the host put the focus on the first control that takes it.
    virtual bool OnInitDialog() { return true; }
    // A button, check box, radio button or clickable cell was clicked, or a
    // menu command chosen. Check boxes and radio buttons already show their
    // new state. Button 1 goes to OnOK, button 2 to OnCancel.
    virtual void OnCommand(int id);
    // The user chose another item in a drop-down list.
    virtual void OnSelChange(int /*id*/) {}
    // A timer started with IWindowHost::StartTimer fired.
    virtual void OnTimer(int /*timerId*/) {}
    // A command this dialog added to the system menu.
    virtual void OnSysCommand(int /*commandId*/) {}
    // Enter presses the default button (an OnCommand); the host calls
    // OnCancel for Escape and the window's close box.
    virtual void OnOK() { EndDialog(kIdOk); }
    virtual void OnCancel() { EndDialog(kIdCancel); }
    // Asked whenever a control is painted: the background of a cell.
    virtual ECellBackground ControlBackground(int /*id*/) const { return ECellBackground::Default; }

protected:
    // Only while attached.
    IWindowHost& Host() const { return *m_pHost; }
    void EndDialog(int result);

private:
    IWindowHost* m_pHost = nullptr;
};
