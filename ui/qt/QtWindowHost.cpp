// The window's life (open, modal run, close), its controls as the logic
// drives them, the timers and the wait cursor.
#include "ui/qt/QtWindowHost.h"

#include "ui/qt/QtIcon.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>
#include <QtDebug>

#include <algorithm>

namespace {

bool KindIn(EControlKind kind, std::initializer_list<EControlKind> kinds) {
    return kinds.size() == 0 || std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

constexpr auto kCheckable = {EControlKind::CheckBox, EControlKind::RadioButton};
// How far a cell's text may be narrowed, in percent of its width.
constexpr int kMinCellStretch = 60;

// Line ends as the edit control takes them: "\r\n" is one break.
QString EditText(const std::string& text) {
    QString qt = ToQString(text);
    qt.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return qt;
}

} // namespace

CQtWindowHost::CQtWindowHost(CDialogLogic& logic, QWidget* parent)
    : QDialog(parent), m_logic(logic), m_layout(logic.Layout()) {
    m_font = DialogFont(m_layout.FontName, m_layout.FontPoints);
    setFont(m_font);
    m_units = BaseUnitsOf(m_font);
    setWindowTitle(ToQString(m_layout.Title));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (parent == nullptr) {
        flags |= Qt::WindowMinimizeButtonHint; // the main window can be minimised
    }
    setWindowFlags(flags);
    setSizeGripEnabled(false);

    BuildMenuBar();
    BuildControls();
    const int width = DialogUnitsToPixelsX(m_layout.Width, m_units);
    const int height = DialogUnitsToPixelsY(m_layout.Height, m_units);
    if (m_pMenuBar != nullptr) {
        m_pMenuBar->setGeometry(0, 0, width, m_clientTop);
    }
    setFixedSize(width, m_clientTop + height);

    m_pSystemMenu = new QMenu(this);
    m_pSystemMenu->setFont(DesktopFont());
}

CQtWindowHost::~CQtWindowHost() {
    Detach();
}

void CQtWindowHost::AttachLogic() {
    m_attached = true;
    m_ended = false;
    m_result = kIdCancel;
    m_logic.Attach(this);
    // The cells' colours as the logic has them now.
    for (const CControl& control : m_controls) {
        if (control.Def->Kind == EControlKind::Cell) {
            ApplyCellBackground(control);
        }
    }
    if (m_logic.OnInitDialog()) {
        for (const CControl& control : m_controls) {
            if (IsTabStop(*control.Def) && control.Widget->isEnabled()) {
                control.Widget->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
}

int CQtWindowHost::RunModal() {
    AttachLogic();
    if (!m_ended) {
        (void)exec();
    }
    Detach();
    return m_ended ? m_result : kIdCancel;
}

void CQtWindowHost::Detach() {
    for (auto& [id, timer] : m_timers) {
        timer->stop();
    }
    if (m_attached) {
        m_attached = false;
        m_logic.Attach(nullptr);
    }
    while (m_waitDepth > 0) {
        EndWaitCursor();
    }
}

void CQtWindowHost::reject() {
    // Escape, the close box and the system menu's close: the logic's Cancel,
    // which may refuse (a running operation is asked to stop instead).
    if (Accepting()) {
        m_logic.OnCancel();
    } else if (!m_attached) {
        QDialog::reject();
    }
}

void CQtWindowHost::ForwardCommand(int id) {
    if (Accepting()) {
        m_logic.OnCommand(id);
    }
}

QWidget* CQtWindowHost::ControlWidget(int id) const {
    auto it = m_byId.find(id);
    return it == m_byId.end() ? nullptr : m_controls[it->second].Widget;
}

QWidget* CQtWindowHost::WidgetAt(size_t index) const {
    return index < m_controls.size() ? m_controls[index].Widget : nullptr;
}

// ---------------------------------------------------------------- controls

const CQtWindowHost::CControl* CQtWindowHost::Find(int id, std::initializer_list<EControlKind> kinds) const {
    auto it = m_byId.find(id);
    if (it == m_byId.end()) {
        qWarning("dialog %d has no control %d", m_layout.Id, id);
        return nullptr;
    }
    const CControl& control = m_controls[it->second];
    if (!KindIn(control.Def->Kind, kinds)) {
        qWarning("control %d of dialog %d is not of the kind this call needs", id, m_layout.Id);
        return nullptr;
    }
    return &control;
}

CQtWindowHost::CControl* CQtWindowHost::Find(int id, std::initializer_list<EControlKind> kinds) {
    return const_cast<CControl*>(static_cast<const CQtWindowHost*>(this)->Find(id, kinds));
}

void CQtWindowHost::SetItemText(int id, const std::string& text) {
    CControl* control = Find(id);
    if (control == nullptr) {
        return;
    }
    control->Text = text;
    const bool noPrefix = (control->Def->Style & kStyleNoPrefix) != 0;
    switch (control->Def->Kind) {
    case EControlKind::Static:
        static_cast<QLabel*>(control->Widget)->setText(StaticDisplayText(text, noPrefix));
        break;
    case EControlKind::Cell:
        static_cast<QLabel*>(control->Widget)->setText(StaticDisplayText(text, noPrefix));
        FitCellText(static_cast<QLabel*>(control->Widget));
        ApplyCellBackground(*control);
        break;
    case EControlKind::GroupBox:
        static_cast<QGroupBox*>(control->Widget)->setTitle(ToQString(text));
        break;
    case EControlKind::Button:
    case EControlKind::DefaultButton:
    case EControlKind::CheckBox:
    case EControlKind::RadioButton:
        static_cast<QAbstractButton*>(control->Widget)->setText(ToQString(text));
        break;
    case EControlKind::DumpEdit:
        static_cast<QPlainTextEdit*>(control->Widget)->setPlainText(EditText(text));
        break;
    case EControlKind::DropList:
    case EControlKind::ProgressBar:
    case EControlKind::Icon:
        break; // no text of their own
    }
}

std::string CQtWindowHost::GetItemText(int id) const {
    const CControl* control = Find(id);
    if (control == nullptr) {
        return {};
    }
    if (control->Def->Kind == EControlKind::DropList) {
        return static_cast<QComboBox*>(control->Widget)->currentText().toStdString();
    }
    return control->Text;
}

void CQtWindowHost::EnableItem(int id, bool enable) {
    if (CControl* control = Find(id)) {
        control->Widget->setEnabled(enable);
        if (control->Def->Kind == EControlKind::Cell) {
            ApplyCellBackground(*control);
        }
    }
}

void CQtWindowHost::SetCheck(int id, bool checked) {
    CControl* control = Find(id, kCheckable);
    if (control == nullptr) {
        return;
    }
    auto* button = static_cast<QAbstractButton*>(control->Widget);
    QButtonGroup* group = button->group();
    // An exclusive group keeps one button checked; the logic may clear all.
    const bool lift = group != nullptr && !checked && group->exclusive();
    if (lift) {
        group->setExclusive(false);
    }
    button->setChecked(checked);
    if (lift) {
        group->setExclusive(true);
    }
}

bool CQtWindowHost::GetCheck(int id) const {
    const CControl* control = Find(id, kCheckable);
    return control != nullptr && static_cast<QAbstractButton*>(control->Widget)->isChecked();
}

void CQtWindowHost::RepaintItem(int id) {
    if (CControl* control = Find(id)) {
        if (control->Def->Kind == EControlKind::Cell) {
            ApplyCellBackground(*control);
        }
        control->Widget->update();
    }
}

void CQtWindowHost::ApplyCellBackground(const CControl& control) {
    CRgb rgb;
    QWidget* widget = control.Widget;
    if (!CellBackgroundRgb(m_logic.ControlBackground(control.Def->Id), rgb)) {
        if (widget->autoFillBackground()) {
            widget->setAutoFillBackground(false);
            widget->setPalette(QPalette());
        }
        return;
    }
    const QColor colour(rgb.R, rgb.G, rgb.B);
    QPalette colours = palette(); // the window's, so a new theme is seen
    // Every colour group alike: a disabled cell keeps its colour too.
    colours.setColor(QPalette::Window, colour);
    // The text keeps the window's colour, unless a dark desktop theme made
    // that too light to read on the pale cell colours.
    constexpr int kLightText = 160;
    if (colours.color(QPalette::Active, QPalette::WindowText).lightness() > kLightText) {
        colours.setColor(QPalette::Active, QPalette::WindowText, Qt::black);
        colours.setColor(QPalette::Inactive, QPalette::WindowText, Qt::black);
    }
    widget->setPalette(colours);
    widget->setAutoFillBackground(true);
}

void CQtWindowHost::FitCellText(QLabel* cell) const {
    // The grid's cells are as narrow as fourteen columns allow; a bit name
    // a little too long for one is drawn narrower rather than cut.
    const int room = cell->contentsRect().width();
    QFont font = m_font;
    int width = QFontMetrics(font).horizontalAdvance(cell->text());
    for (int stretch = 95; width > room && stretch >= kMinCellStretch; stretch -= 5) {
        font.setStretch(stretch);
        width = QFontMetrics(font).horizontalAdvance(cell->text());
    }
    cell->setFont(font);
}

// ---------------------------------------------------------------- drop list

void CQtWindowHost::ComboReset(int id) {
    if (CControl* control = Find(id, {EControlKind::DropList})) {
        static_cast<QComboBox*>(control->Widget)->clear();
    }
}

void CQtWindowHost::ComboAdd(int id, const std::string& text) {
    if (CControl* control = Find(id, {EControlKind::DropList})) {
        auto* combo = static_cast<QComboBox*>(control->Widget);
        const int selection = combo->currentIndex();
        combo->addItem(ToQString(text));
        // Qt selects the first item added to an empty list; the list this
        // stands for selects nothing until asked.
        combo->setCurrentIndex(selection);
    }
}

int CQtWindowHost::ComboCount(int id) const {
    const CControl* control = Find(id, {EControlKind::DropList});
    return control != nullptr ? static_cast<QComboBox*>(control->Widget)->count() : 0;
}

std::string CQtWindowHost::ComboText(int id, int index) const {
    const CControl* control = Find(id, {EControlKind::DropList});
    if (control == nullptr) {
        return {};
    }
    const auto* combo = static_cast<QComboBox*>(control->Widget);
    if (index < 0 || index >= combo->count()) {
        return {};
    }
    return combo->itemText(index).toStdString();
}

void CQtWindowHost::ComboSelect(int id, int index) {
    if (CControl* control = Find(id, {EControlKind::DropList})) {
        auto* combo = static_cast<QComboBox*>(control->Widget);
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    }
}

int CQtWindowHost::ComboSelection(int id) const {
    const CControl* control = Find(id, {EControlKind::DropList});
    return control != nullptr ? static_cast<QComboBox*>(control->Widget)->currentIndex() : -1;
}

// ---------------------------------------------------------------- progress

void CQtWindowHost::SetProgressRange(int id, int lower, int upper) {
    if (CControl* control = Find(id, {EControlKind::ProgressBar})) {
        auto* bar = static_cast<QProgressBar*>(control->Widget);
        const int value = bar->value();
        bar->setRange(std::min(lower, upper), std::max(lower, upper));
        bar->setValue(std::clamp(value, bar->minimum(), bar->maximum()));
    }
}

void CQtWindowHost::SetProgressPos(int id, int position) {
    if (CControl* control = Find(id, {EControlKind::ProgressBar})) {
        auto* bar = static_cast<QProgressBar*>(control->Widget);
        // Qt ignores a value outside the range; the bar shows the nearer end.
        bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
    }
}

// ---------------------------------------------------------------- this window

void CQtWindowHost::EndDialog(int result) {
    m_ended = true;
    m_result = result;
    done(result);
}

void CQtWindowHost::SetWindowIcon(int iconId) {
    if (iconId == kIdiMain) {
        setWindowIcon(ProgramIcon());
    }
}

void CQtWindowHost::StartTimer(int timerId, unsigned periodMs) {
    QTimer*& timer = m_timers[timerId];
    if (timer == nullptr) {
        timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, timerId] {
            if (Accepting()) {
                m_logic.OnTimer(timerId);
            }
        });
    }
    timer->start(static_cast<int>(std::min(periodMs, 0x7FFFFFFFU)));
}

void CQtWindowHost::BeginWaitCursor() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    ++m_waitDepth;
}

void CQtWindowHost::EndWaitCursor() {
    if (m_waitDepth > 0) {
        --m_waitDepth;
        QApplication::restoreOverrideCursor();
    }
}
