#include "TestHost.h"

#include "ui/ResourceIds.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

bool KindIn(EControlKind kind, std::initializer_list<EControlKind> kinds) {
    return kinds.size() == 0 || std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

bool ReportsClicks(EControlKind kind) {
    switch (kind) {
    case EControlKind::Button:
    case EControlKind::DefaultButton:
    case EControlKind::Cell:
    case EControlKind::CheckBox:
    case EControlKind::RadioButton:
        return true;
    default:
        return false;
    }
}

constexpr auto kCheckable = {EControlKind::CheckBox, EControlKind::RadioButton};

} // namespace

CTestWindowHost::CTestWindowHost(CDialogLogic& logic, CTestScript& script)
    : m_logic(logic), m_script(script), m_layout(logic.Layout()) {
    for (const CControlDef& def : m_layout.Controls) {
        if (def.Id == kIdStatic) {
            continue;
        }
        EXPECT_EQ(m_controls.count(def.Id), 0u) << "dialog " << m_layout.Id << " has two controls " << def.Id;
        CControlState& state = m_controls[def.Id];
        state.Def = &def;
        state.Text = def.Text;
        state.Enabled = (def.Style & kStyleDisabled) == 0;
    }
    if (const CMenuLayout* menu = FindMenuLayout(m_layout.MenuId)) {
        for (const CMenuPopupDef& popup : menu->Popups) {
            CMenuState state;
            state.Text = popup.Text;
            for (const CMenuItemDef& item : popup.Items) {
                state.Items.push_back({item.Id, item.Text, item.CheckItem, false, !item.Grayed});
            }
            m_menus.push_back(std::move(state));
        }
    }
}

CTestWindowHost::~CTestWindowHost() {
    m_logic.Attach(nullptr);
}

void CTestWindowHost::Open() {
    m_logic.Attach(this);
    m_logic.OnInitDialog();
}

// ------------------------------------------------------------------ the user

bool CTestWindowHost::Click(int id) {
    if (m_ended) {
        return false;
    }
    auto it = m_controls.find(id);
    if (it == m_controls.end() || !it->second.Enabled || !ReportsClicks(it->second.Def->Kind)) {
        return false;
    }
    CControlState& state = it->second;
    if (state.Def->Kind == EControlKind::CheckBox) {
        state.Checked = !state.Checked;
    } else if (state.Def->Kind == EControlKind::RadioButton) {
        for (int other : RadioGroupOf(m_layout, id)) {
            m_controls[other].Checked = other == id;
        }
    }
    m_logic.OnCommand(id);
    return true;
}

bool CTestWindowHost::ChooseComboItem(int id, int index) {
    if (m_ended) {
        return false;
    }
    CControlState* state = Control(id, {EControlKind::DropList});
    if (state == nullptr || !state->Enabled || index < 0 || index >= static_cast<int>(state->Items.size())) {
        return false;
    }
    state->Selection = index;
    m_logic.OnSelChange(id);
    return true;
}

bool CTestWindowHost::ChooseMenu(int commandId) {
    if (m_ended || commandId == 0) {
        return false;
    }
    for (const CMenuState& menu : m_menus) {
        for (const CMenuItemState& item : menu.Items) {
            if (item.Id == commandId) {
                if (!menu.Enabled || !item.Enabled) {
                    return false;
                }
                m_logic.OnCommand(commandId);
                return true;
            }
        }
    }
    return false;
}

bool CTestWindowHost::ChooseSysCommand(int commandId) {
    if (m_ended) {
        return false;
    }
    for (const auto& [id, text] : m_systemMenu) {
        if (id == commandId) {
            m_logic.OnSysCommand(commandId);
            return true;
        }
    }
    return false;
}

void CTestWindowHost::PressEnter() {
    if (m_ended) {
        return;
    }
    for (const CControlDef& def : m_layout.Controls) {
        if (def.Kind == EControlKind::DefaultButton) {
            Click(def.Id);
            return;
        }
    }
    m_logic.OnCommand(kIdOk);
}

void CTestWindowHost::PressEscape() {
    if (!m_ended) {
        m_logic.OnCancel();
    }
}

void CTestWindowHost::CloseBox() {
    if (!m_ended) {
        m_logic.OnCancel();
    }
}

void CTestWindowHost::FireTimers() {
    if (m_ended) {
        return;
    }
    const std::map<int, unsigned> timers = m_timers;
    for (const auto& [id, period] : timers) {
        m_logic.OnTimer(id);
    }
}

// ------------------------------------------------------------ inspection

bool CTestWindowHost::Enabled(int id) const {
    const CControlState* state = Control(id);
    return state != nullptr && state->Enabled;
}

std::vector<std::string> CTestWindowHost::ComboItems(int id) const {
    const CControlState* state = Control(id, {EControlKind::DropList});
    return state != nullptr ? state->Items : std::vector<std::string>{};
}

int CTestWindowHost::ProgressLower(int id) const {
    const CControlState* state = Control(id, {EControlKind::ProgressBar});
    return state != nullptr ? state->Lower : 0;
}

int CTestWindowHost::ProgressUpper(int id) const {
    const CControlState* state = Control(id, {EControlKind::ProgressBar});
    return state != nullptr ? state->Upper : 0;
}

int CTestWindowHost::ProgressPos(int id) const {
    const CControlState* state = Control(id, {EControlKind::ProgressBar});
    return state != nullptr ? state->Position : 0;
}

ECellBackground CTestWindowHost::Background(int id) const {
    Control(id);
    return m_logic.ControlBackground(id);
}

int CTestWindowHost::RepaintCount(int id) const {
    const CControlState* state = Control(id);
    return state != nullptr ? state->Repaints : 0;
}

bool CTestWindowHost::MenuEnabled(int menu) const {
    if (menu < 0 || menu >= MenuCount()) {
        ADD_FAILURE() << "no menu at position " << menu;
        return false;
    }
    return m_menus[static_cast<size_t>(menu)].Enabled;
}

bool CTestWindowHost::MenuItemChecked(int commandId) const {
    const CMenuItemState* item = MenuItemById(commandId);
    return item != nullptr && item->Checked;
}

bool CTestWindowHost::MenuItemEnabled(int commandId) const {
    const CMenuItemState* item = MenuItemById(commandId);
    return item != nullptr && item->Enabled;
}

std::vector<int> CTestWindowHost::MenuItemIds(int menu) const {
    std::vector<int> ids;
    for (int p = 0; p < MenuItemCount(menu); ++p) {
        ids.push_back(MenuItemId(menu, p));
    }
    return ids;
}

// ------------------------------------------------------------ IMessageBox

EMsgResult CTestWindowHost::Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) {
    m_script.Messages.push_back({m_layout.Id, text, icon, buttons});
    if (m_script.m_messageAnswers.empty()) {
        if (buttons == EMsgButtons::Ok) {
            return EMsgResult::Ok;
        }
        ADD_FAILURE() << "no answer scripted for the question \"" << text << "\"";
        return EMsgResult::No;
    }
    const EMsgResult answer = m_script.m_messageAnswers.front();
    m_script.m_messageAnswers.pop_front();
    const bool fits = buttons == EMsgButtons::Ok ? answer == EMsgResult::Ok : answer != EMsgResult::Ok;
    EXPECT_TRUE(fits) << "the scripted answer is not one of the buttons of \"" << text << "\"";
    return answer;
}

// ------------------------------------------------------------ controls

CTestWindowHost::CControlState* CTestWindowHost::Control(int id, std::initializer_list<EControlKind> kinds) {
    return const_cast<CControlState*>(static_cast<const CTestWindowHost*>(this)->Control(id, kinds));
}

const CTestWindowHost::CControlState*
CTestWindowHost::Control(int id, std::initializer_list<EControlKind> kinds) const {
    auto it = m_controls.find(id);
    if (it == m_controls.end()) {
        ADD_FAILURE() << "dialog " << m_layout.Id << " has no control " << id;
        return nullptr;
    }
    if (!KindIn(it->second.Def->Kind, kinds)) {
        ADD_FAILURE() << "control " << id << " of dialog " << m_layout.Id
                      << " is not of the kind this call needs";
        return nullptr;
    }
    return &it->second;
}

void CTestWindowHost::SetItemText(int id, const std::string& text) {
    if (CControlState* state = Control(id)) {
        state->Text = text;
    }
}

std::string CTestWindowHost::GetItemText(int id) const {
    const CControlState* state = Control(id);
    return state != nullptr ? state->Text : std::string();
}

void CTestWindowHost::EnableItem(int id, bool enable) {
    if (CControlState* state = Control(id)) {
        state->Enabled = enable;
    }
}

void CTestWindowHost::SetCheck(int id, bool checked) {
    if (CControlState* state = Control(id, kCheckable)) {
        state->Checked = checked;
    }
}

bool CTestWindowHost::GetCheck(int id) const {
    const CControlState* state = Control(id, kCheckable);
    return state != nullptr && state->Checked;
}

void CTestWindowHost::RepaintItem(int id) {
    if (CControlState* state = Control(id)) {
        ++state->Repaints;
    }
}

void CTestWindowHost::ComboReset(int id) {
    if (CControlState* state = Control(id, {EControlKind::DropList})) {
        state->Items.clear();
        state->Selection = -1;
    }
}

void CTestWindowHost::ComboAdd(int id, const std::string& text) {
    if (CControlState* state = Control(id, {EControlKind::DropList})) {
        state->Items.push_back(text);
    }
}

int CTestWindowHost::ComboCount(int id) const {
    const CControlState* state = Control(id, {EControlKind::DropList});
    return state != nullptr ? static_cast<int>(state->Items.size()) : 0;
}

std::string CTestWindowHost::ComboText(int id, int index) const {
    const CControlState* state = Control(id, {EControlKind::DropList});
    if (state == nullptr || index < 0 || index >= static_cast<int>(state->Items.size())) {
        return {};
    }
    return state->Items[static_cast<size_t>(index)];
}

void CTestWindowHost::ComboSelect(int id, int index) {
    if (CControlState* state = Control(id, {EControlKind::DropList})) {
        state->Selection = index >= 0 && index < static_cast<int>(state->Items.size()) ? index : -1;
    }
}

int CTestWindowHost::ComboSelection(int id) const {
    const CControlState* state = Control(id, {EControlKind::DropList});
    return state != nullptr ? state->Selection : -1;
}

void CTestWindowHost::SetProgressRange(int id, int lower, int upper) {
    if (CControlState* state = Control(id, {EControlKind::ProgressBar})) {
        state->Lower = lower;
        state->Upper = upper;
    }
}

void CTestWindowHost::SetProgressPos(int id, int position) {
    if (CControlState* state = Control(id, {EControlKind::ProgressBar})) {
        state->Position = position;
    }
}

// ------------------------------------------------------------ menus

int CTestWindowHost::MenuCount() const {
    return static_cast<int>(m_menus.size());
}

void CTestWindowHost::EnableMenu(int menu, bool enable) {
    if (menu < 0 || menu >= MenuCount()) {
        ADD_FAILURE() << "no menu at position " << menu;
        return;
    }
    m_menus[static_cast<size_t>(menu)].Enabled = enable;
}

int CTestWindowHost::MenuItemCount(int menu) const {
    if (menu < 0 || menu >= MenuCount()) {
        ADD_FAILURE() << "no menu at position " << menu;
        return 0;
    }
    return static_cast<int>(m_menus[static_cast<size_t>(menu)].Items.size());
}

const CTestWindowHost::CMenuItemState* CTestWindowHost::MenuItem(int menu, int position) const {
    if (position < 0 || position >= MenuItemCount(menu)) {
        ADD_FAILURE() << "no item at position " << position << " of menu " << menu;
        return nullptr;
    }
    return &m_menus[static_cast<size_t>(menu)].Items[static_cast<size_t>(position)];
}

CTestWindowHost::CMenuItemState* CTestWindowHost::MenuItem(int menu, int position) {
    return const_cast<CMenuItemState*>(static_cast<const CTestWindowHost*>(this)->MenuItem(menu, position));
}

const CTestWindowHost::CMenuItemState* CTestWindowHost::MenuItemById(int commandId) const {
    for (const CMenuState& menu : m_menus) {
        for (const CMenuItemState& item : menu.Items) {
            if (item.Id == commandId) {
                return &item;
            }
        }
    }
    ADD_FAILURE() << "no menu item " << commandId;
    return nullptr;
}

int CTestWindowHost::MenuItemId(int menu, int position) const {
    const CMenuItemState* item = MenuItem(menu, position);
    return item != nullptr ? item->Id : 0;
}

std::string CTestWindowHost::MenuItemText(int menu, int position) const {
    const CMenuItemState* item = MenuItem(menu, position);
    return item != nullptr ? item->Text : std::string();
}

void CTestWindowHost::CheckMenuItem(int menu, int position, bool checked) {
    if (CMenuItemState* item = MenuItem(menu, position)) {
        EXPECT_NE(item->Id, 0) << "a separator takes no check mark";
        item->Checked = checked;
    }
}

void CTestWindowHost::EnableMenuItem(int menu, int position, bool enable) {
    if (CMenuItemState* item = MenuItem(menu, position)) {
        item->Enabled = enable;
    }
}

void CTestWindowHost::InsertMenuItem(int menu, int position, int id, const std::string& text) {
    if (OnMenuInsert) {
        OnMenuInsert();
    }
    if (position < 0 || position > MenuItemCount(menu)) {
        ADD_FAILURE() << "cannot insert at position " << position << " of menu " << menu;
        return;
    }
    auto& items = m_menus[static_cast<size_t>(menu)].Items;
    items.insert(items.begin() + position, CMenuItemState{id, text, false, false, true});
}

void CTestWindowHost::DeleteMenuItem(int menu, int position) {
    if (MenuItem(menu, position) != nullptr) {
        auto& items = m_menus[static_cast<size_t>(menu)].Items;
        items.erase(items.begin() + position);
    }
}

bool CTestWindowHost::AppendSystemMenuItem(int commandId, const std::string& text) {
    m_systemMenu.emplace_back(commandId, text);
    return true;
}

// ------------------------------------------------------------ modal things

int CTestWindowHost::RunModalDialog(CDialogLogic& dialog) {
    CTestWindowHost child(dialog, m_script);
    child.Open();
    auto& actions = m_script.m_dialogActions[child.m_layout.Id];
    if (!actions.empty()) {
        CTestScript::DialogAction action = std::move(actions.front());
        actions.pop_front();
        if (!child.m_ended) {
            action(child);
        }
    }
    if (!child.m_ended) {
        child.CloseBox();
    }
    EXPECT_TRUE(child.m_ended) << "dialog " << child.m_layout.Id << " would not close";
    CDialogRun run;
    run.DialogId = child.m_layout.Id;
    run.Result = child.m_ended ? child.m_result : kIdCancel;
    for (const auto& [id, state] : child.m_controls) {
        run.Texts[id] = state.Text;
        if (KindIn(state.Def->Kind, kCheckable)) {
            run.Checks[id] = state.Checked;
        }
    }
    m_script.Dialogs.push_back(run);
    return run.Result;
}

bool CTestWindowHost::RunFileDialog(const CFileDialogRequest& request, std::string& path) {
    m_script.FileRequests.push_back(request);
    if (m_script.m_fileAnswers.empty()) {
        ADD_FAILURE() << "no answer scripted for a file dialog";
        return false;
    }
    const CTestScript::CFileAnswer answer = m_script.m_fileAnswers.front();
    m_script.m_fileAnswers.pop_front();
    if (answer.Chosen) {
        path = answer.Path;
    }
    return answer.Chosen;
}

void CTestWindowHost::EndDialog(int result) {
    m_ended = true;
    m_result = result;
}

void CTestWindowHost::StartTimer(int timerId, unsigned periodMs) {
    m_timers[timerId] = periodMs;
}

void CTestWindowHost::BeginWaitCursor() {
    ++m_waitDepth;
    ++m_waitUses;
}

void CTestWindowHost::EndWaitCursor() {
    EXPECT_GT(m_waitDepth, 0) << "wait cursor ended more often than begun";
    --m_waitDepth;
}
