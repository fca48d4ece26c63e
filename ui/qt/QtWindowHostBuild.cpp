// Building the window from the layout tables: the controls in table order,
// the radio groups, the tab order and the menu bar.
#include "ui/qt/QtCell.h"
#include "ui/qt/QtIcon.h"
#include "ui/qt/QtWindowHost.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>

#include <algorithm>

namespace {

// A static at least this high wraps its text over several lines.
constexpr int kWrapHeightDu = 16;
// Rows of the open drop-down list per dialog unit of its height; a row is a
// line of the font, eight units.
constexpr int kDuPerListRow = 8;
constexpr int kIconPixels = 32;

Qt::Alignment TextAlignment(const CControlDef& def) {
    Qt::Alignment alignment = Qt::AlignTop;
    if ((def.Style & kStyleCentre) != 0) {
        alignment |= Qt::AlignHCenter;
    } else if ((def.Style & kStyleRight) != 0) {
        alignment |= Qt::AlignRight;
    } else {
        alignment |= Qt::AlignLeft;
    }
    return alignment;
}

} // namespace

void CQtWindowHost::BuildControls() {
    m_controls.reserve(m_layout.Controls.size());
    QButtonGroup* radioGroup = nullptr;
    for (const CControlDef& def : m_layout.Controls) {
        if ((def.Style & kStyleGroup) != 0) {
            radioGroup = nullptr; // any control that starts a group ends the last one
        }
        QWidget* widget = CreateControl(def);
        if (def.Kind == EControlKind::RadioButton) {
            if (radioGroup == nullptr) {
                radioGroup = new QButtonGroup(this);
                radioGroup->setExclusive(true);
                m_radioGroups.push_back(radioGroup);
            }
            radioGroup->addButton(static_cast<QAbstractButton*>(widget));
        }
        widget->setGeometry(DialogRectToPixels(def.Rect, m_units).translated(0, m_clientTop));
        widget->setEnabled((def.Style & kStyleDisabled) == 0);
        if (def.Id != kIdStatic) {
            m_byId[def.Id] = m_controls.size();
        }
        m_controls.push_back({&def, widget, def.Text});
    }

    // Frames lie behind what they frame; the tab order is the table's.
    QWidget* previous = nullptr;
    for (const CControl& control : m_controls) {
        if (control.Def->Kind == EControlKind::GroupBox) {
            control.Widget->lower();
        }
        if (control.Widget->focusPolicy() == Qt::NoFocus) {
            continue;
        }
        if (!IsTabStop(*control.Def)) {
            control.Widget->setFocusPolicy(Qt::ClickFocus);
            continue;
        }
        control.Widget->setFocusPolicy(Qt::StrongFocus);
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, control.Widget);
        }
        previous = control.Widget;
    }
}

QWidget* CQtWindowHost::CreateControl(const CControlDef& def) {
    const QString text = ToQString(def.Text);
    const int id = def.Id;
    switch (def.Kind) {
    case EControlKind::Button:
    case EControlKind::DefaultButton: {
        auto* button = new QPushButton(text, this);
        button->setAutoDefault(true);
        button->setDefault(def.Kind == EControlKind::DefaultButton);
        connect(button, &QPushButton::clicked, this, [this, id] { ForwardCommand(id); });
        return button;
    }
    case EControlKind::Static: {
        auto* label = new QLabel(this);
        label->setTextFormat(Qt::PlainText);
        label->setText(StaticDisplayText(def.Text, (def.Style & kStyleNoPrefix) != 0));
        label->setAlignment(TextAlignment(def));
        label->setWordWrap(def.Rect.Height >= kWrapHeightDu);
        return label;
    }
    case EControlKind::Cell: {
        auto* cell = new CQtCell(this);
        cell->setText(StaticDisplayText(def.Text, (def.Style & kStyleNoPrefix) != 0));
        cell->OnClick = [this, id] { ForwardCommand(id); };
        return cell;
    }
    case EControlKind::GroupBox:
        return new QGroupBox(text, this);
    case EControlKind::CheckBox: {
        auto* box = new QCheckBox(text, this);
        connect(box, &QCheckBox::clicked, this, [this, id] { ForwardCommand(id); });
        return box;
    }
    case EControlKind::RadioButton: {
        auto* radio = new QRadioButton(text, this);
        radio->setAutoExclusive(false); // its button group makes it exclusive
        connect(radio, &QRadioButton::clicked, this, [this, id] { ForwardCommand(id); });
        return radio;
    }
    case EControlKind::DropList: {
        auto* combo = new QComboBox(this);
        combo->setEditable(false);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMaxVisibleItems(std::max(1, (def.DropHeight - def.Rect.Height) / kDuPerListRow));
        connect(combo, &QComboBox::activated, this, [this, id] {
            if (Accepting()) {
                m_logic.OnSelChange(id);
            }
        });
        return combo;
    }
    case EControlKind::DumpEdit: {
        auto* edit = new QPlainTextEdit(this);
        edit->setReadOnly(true);
        edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->document()->setDocumentMargin(2);
        // A read-only edit shows the dialog's own background.
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        edit->setPalette(palette);
        edit->setPlainText(text);
        return edit;
    }
    case EControlKind::ProgressBar: {
        auto* bar = new QProgressBar(this);
        bar->setTextVisible(false);
        bar->setRange(0, 100);
        bar->setValue(0);
        return bar;
    }
    case EControlKind::Icon: {
        auto* label = new QLabel(this);
        label->setPixmap(ProgramIconPixmap(kIconPixels));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    }
    return new QLabel(this);
}

void CQtWindowHost::BuildMenuBar() {
    const CMenuLayout* layout = FindMenuLayout(m_layout.MenuId);
    if (layout == nullptr) {
        return;
    }
    m_pMenuBar = new QMenuBar(this);
    m_pMenuBar->setNativeMenuBar(false); // the window's own bar, as the layout has it
    m_pMenuBar->setFont(DesktopFont());
    for (const CMenuPopupDef& popup : layout->Popups) {
        QMenu* menu = m_pMenuBar->addMenu(ToQString(popup.Text));
        menu->setFont(DesktopFont());
        for (const CMenuItemDef& item : popup.Items) {
            if (item.Id == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = CreateMenuAction(menu, item.Id, item.Text);
            // Unchecked, an item shows no mark at all (CheckMenuItem).
            action->setEnabled(!item.Grayed);
            menu->addAction(action);
        }
        m_menus.push_back(menu);
    }
    m_clientTop = m_pMenuBar->sizeHint().height();
}

QAction* CQtWindowHost::CreateMenuAction(QMenu* menu, int id, const std::string& text) {
    auto* action = new QAction(ToQString(text), menu);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, action] { ForwardMenuCommand(action); });
    return action;
}
