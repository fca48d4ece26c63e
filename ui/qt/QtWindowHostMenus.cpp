// The menu bar by position, the system menu's stand-in, and the modal
// things: message boxes, child dialogs and the file dialogs.
#include "ui/qt/QtFileDialog.h"
#include "ui/qt/QtWindowHost.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QtDebug>

namespace {

CQtWindowHost::MessageBoxSeam& MessageSeam() {
    static CQtWindowHost::MessageBoxSeam seam;
    return seam;
}

CQtWindowHost::FileDialogSeam& FileSeam() {
    static CQtWindowHost::FileDialogSeam seam;
    return seam;
}

QMessageBox::Icon QtIcon(EMsgIcon icon) {
    switch (icon) {
    case EMsgIcon::Stop:
    case EMsgIcon::Error:
        return QMessageBox::Critical; // one icon for both, as on the system the texts come from
    case EMsgIcon::Exclamation:
        return QMessageBox::Warning;
    case EMsgIcon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

// The buttons' captions in the window's language, with their mnemonics.
constexpr const char* kYesText = "はい(&Y)";
constexpr const char* kNoText = "いいえ(&N)";

} // namespace

void CQtWindowHost::SetMessageBoxSeam(MessageBoxSeam seam) {
    MessageSeam() = std::move(seam);
}

void CQtWindowHost::SetFileDialogSeam(FileDialogSeam seam) {
    FileSeam() = std::move(seam);
}

// ---------------------------------------------------------------- menu bar

QMenu* CQtWindowHost::Menu(int position) const {
    if (position < 0 || position >= static_cast<int>(m_menus.size())) {
        return nullptr;
    }
    return m_menus[static_cast<size_t>(position)];
}

QAction* CQtWindowHost::MenuAction(int menu, int position) const {
    QMenu* pulldown = Menu(menu);
    if (pulldown == nullptr) {
        qWarning("no menu at position %d", menu);
        return nullptr;
    }
    const QList<QAction*> actions = pulldown->actions();
    if (position < 0 || position >= actions.size()) {
        qWarning("no item at position %d of menu %d", position, menu);
        return nullptr;
    }
    return actions[position];
}

int CQtWindowHost::MenuCount() const {
    return static_cast<int>(m_menus.size());
}

void CQtWindowHost::EnableMenu(int menu, bool enable) {
    if (QMenu* pulldown = Menu(menu)) {
        pulldown->menuAction()->setEnabled(enable);
    }
}

int CQtWindowHost::MenuItemCount(int menu) const {
    QMenu* pulldown = Menu(menu);
    return pulldown != nullptr ? static_cast<int>(pulldown->actions().size()) : 0;
}

int CQtWindowHost::MenuItemId(int menu, int position) const {
    const QAction* action = MenuAction(menu, position);
    return action != nullptr && !action->isSeparator() ? action->data().toInt() : 0;
}

std::string CQtWindowHost::MenuItemText(int menu, int position) const {
    const QAction* action = MenuAction(menu, position);
    return action != nullptr ? action->text().toStdString() : std::string();
}

void CQtWindowHost::CheckMenuItem(int menu, int position, bool checked) {
    QAction* action = MenuAction(menu, position);
    if (action == nullptr || action->isSeparator()) {
        return;
    }
    // Only a checked item is checkable: the styles draw an empty box beside
    // an unchecked one, where the menus these come from show nothing.
    action->setCheckable(checked);
    action->setChecked(checked);
}

void CQtWindowHost::EnableMenuItem(int menu, int position, bool enable) {
    if (QAction* action = MenuAction(menu, position)) {
        action->setEnabled(enable);
    }
}

void CQtWindowHost::InsertMenuItem(int menu, int position, int id, const std::string& text) {
    QMenu* pulldown = Menu(menu);
    if (pulldown == nullptr) {
        qWarning("no menu at position %d", menu);
        return;
    }
    const QList<QAction*> actions = pulldown->actions();
    if (position < 0 || position > actions.size()) {
        qWarning("cannot insert at position %d of menu %d", position, menu);
        return;
    }
    QAction* before = position < actions.size() ? actions[position] : nullptr;
    QAction* action = nullptr;
    if (id == 0) {
        action = new QAction(pulldown);
        action->setSeparator(true);
    } else {
        action = CreateMenuAction(pulldown, id, text);
    }
    pulldown->insertAction(before, action);
}

void CQtWindowHost::DeleteMenuItem(int menu, int position) {
    QAction* action = MenuAction(menu, position);
    if (action == nullptr) {
        return;
    }
    Menu(menu)->removeAction(action);
    // The item may be the one whose command is running now.
    action->deleteLater();
}

void CQtWindowHost::ForwardMenuCommand(QAction* action) {
    // A check mark is the logic's to set: undo Qt's own toggle.
    if (action->isCheckable()) {
        action->setChecked(!action->isChecked());
    }
    if (Accepting()) {
        m_logic.OnCommand(action->data().toInt());
    }
}

// ---------------------------------------------------------------- system menu

bool CQtWindowHost::AppendSystemMenuItem(int commandId, const std::string& text) {
    m_pSystemMenu->addSeparator(); // a leading separator is not shown
    auto* action = new QAction(ToQString(text), m_pSystemMenu);
    action->setData(commandId);
    connect(action, &QAction::triggered, this, [this, commandId] {
        if (Accepting()) {
            m_logic.OnSysCommand(commandId);
        }
    });
    m_pSystemMenu->addAction(action);
    return true;
}

std::vector<QAction*> CQtWindowHost::SystemMenuCommands() const {
    std::vector<QAction*> commands;
    for (QAction* action : m_pSystemMenu->actions()) {
        if (!action->isSeparator()) {
            commands.push_back(action);
        }
    }
    return commands;
}

void CQtWindowHost::contextMenuEvent(QContextMenuEvent* event) {
    if (SystemMenuCommands().empty()) {
        QDialog::contextMenuEvent(event);
        return;
    }
    m_pSystemMenu->exec(event->globalPos());
}

// ---------------------------------------------------------------- modal things

EMsgResult CQtWindowHost::Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) {
    QMessageBox box(QtIcon(icon), QCoreApplication::applicationName(), ToQString(text), QMessageBox::NoButton,
                    this);
    box.setFont(DesktopFont());
    box.setTextFormat(Qt::PlainText);
    if (buttons == EMsgButtons::YesNo) {
        QPushButton* yes = box.addButton(QMessageBox::Yes);
        yes->setText(ToQString(kYesText));
        box.addButton(QMessageBox::No)->setText(ToQString(kNoText));
        box.setDefaultButton(yes);
    } else {
        box.setDefaultButton(box.addButton(QMessageBox::Ok));
    }
    int answer = QMessageBox::NoButton;
    if (MessageSeam()) {
        answer = MessageSeam()(box);
    } else {
        answer = box.exec();
    }
    if (buttons == EMsgButtons::Ok) {
        return EMsgResult::Ok;
    }
    // A box closed without an answer says No: nothing is reloaded or replaced.
    return answer == QMessageBox::Yes ? EMsgResult::Yes : EMsgResult::No;
}

int CQtWindowHost::RunModalDialog(CDialogLogic& dialog) {
    CQtWindowHost child(dialog, this);
    return child.RunModal();
}

bool CQtWindowHost::RunFileDialog(const CFileDialogRequest& request, std::string& path) {
    std::unique_ptr<QFileDialog> dialog = BuildFileDialog(request, this);
    dialog->setFont(DesktopFont());
    if (FileSeam()) {
        return FileSeam()(*dialog, path);
    }
    if (dialog->exec() != QDialog::Accepted) {
        return false;
    }
    const QStringList chosen = dialog->selectedFiles();
    if (chosen.isEmpty()) {
        return false;
    }
    path = chosen.front().toStdString();
    return true;
}
