#include "QtTestSupport.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QTextBlock>

namespace {

bool Fits(int need, int room, const QString& what, QString& why) {
    if (need <= room) {
        return true;
    }
    why = QStringLiteral("%1 needs %2 px, has %3").arg(what).arg(need).arg(room);
    return false;
}

int MnemonicWidth(const QFontMetrics& metrics, const QString& text) {
    return metrics.size(Qt::TextShowMnemonic, text).width();
}

bool ButtonFits(const QAbstractButton* button, QString& why) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox*>(button) != nullptr) {
        contents = QStyle::SE_CheckBoxContents;
    } else if (qobject_cast<const QRadioButton*>(button) != nullptr) {
        contents = QStyle::SE_RadioButtonContents;
    }
    const QRect room = button->style()->subElementRect(contents, &option, button);
    const QFontMetrics metrics(button->font());
    return Fits(MnemonicWidth(metrics, button->text()), room.width(), button->text(), why) &&
           Fits(metrics.height(), button->height(), QStringLiteral("its line"), why);
}

bool LabelFits(const QLabel* label, QString& why) {
    if (label->text().isEmpty()) {
        return true;
    }
    const QFontMetrics metrics(label->font());
    QRect room = label->contentsRect();
    room.adjust(label->margin(), label->margin(), -label->margin(), -label->margin());
    if (label->wordWrap()) {
        const QRect needed =
            metrics.boundingRect(QRect(0, 0, room.width(), 10000),
                                 static_cast<int>(label->alignment()) | Qt::TextWordWrap, label->text());
        return Fits(needed.height(), room.height(), label->text() + " (wrapped)", why);
    }
    if (!Fits(metrics.horizontalAdvance(label->text()), room.width(), label->text(), why)) {
        return false;
    }
    // Down, what counts is the ink where the label draws its line: the
    // line's own leading may overhang a low control without loss.
    const int lineTop =
        (label->alignment() & Qt::AlignVCenter) != 0 ? (room.height() - metrics.height()) / 2 : 0;
    const QRect ink = metrics.tightBoundingRect(label->text()).translated(0, lineTop + metrics.ascent());
    if (ink.top() < 0 || ink.bottom() >= room.height()) {
        why = QStringLiteral("%1: its letters take rows %2 to %3 of %4")
                  .arg(label->text())
                  .arg(ink.top())
                  .arg(ink.bottom())
                  .arg(room.height());
        return false;
    }
    return true;
}

bool GroupBoxFits(const QGroupBox* box, QString& why) {
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    option.textAlignment = box->alignment();
    const QRect label =
        box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    const QFontMetrics metrics(box->font());
    // The caption keeps as much room after it as before it.
    return Fits(label.left() + MnemonicWidth(metrics, box->title()), box->width() - label.left(),
                box->title(), why);
}

bool ComboFits(const QComboBox* combo, QString& why) {
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = false;
    option.subControls = QStyle::SC_All;
    const QRect field =
        combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    const QFontMetrics metrics(combo->font());
    for (int i = 0; i < combo->count(); ++i) {
        // A catalogue's separator lines are never the selection: only the
        // open list shows them.
        if (combo->itemText(i).startsWith(QLatin1Char('-'))) {
            continue;
        }
        if (!Fits(metrics.horizontalAdvance(combo->itemText(i)), field.width(), combo->itemText(i), why)) {
            return false;
        }
    }
    return true;
}

bool DumpFits(const QPlainTextEdit* edit, QString& why) {
    const QFontMetrics metrics(edit->font());
    const int room = edit->viewport()->width() - 2 * static_cast<int>(edit->document()->documentMargin());
    for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
        if (!Fits(metrics.horizontalAdvance(block.text()), room, block.text(), why)) {
            return false;
        }
    }
    return true;
}

} // namespace

QString ShownText(const QWidget* widget) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
        return box->title();
    }
    if (const auto* edit = qobject_cast<const QPlainTextEdit*>(widget)) {
        return edit->toPlainText();
    }
    return {};
}

bool TextFitsWidget(const QWidget* widget, QString& why) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return ButtonFits(button, why);
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return LabelFits(label, why);
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
        return GroupBoxFits(box, why);
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        return ComboFits(combo, why);
    }
    if (const auto* edit = qobject_cast<const QPlainTextEdit*>(widget)) {
        return DumpFits(edit, why);
    }
    return true; // progress bar, icon: no text
}

QString SaveScreenshot(QWidget* window, const QString& name) {
    const QString folder = QStringLiteral(KVX3_SCREENSHOT_DIR);
    if (!QDir().mkpath(folder)) {
        return {};
    }
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    return window->grab().save(path) ? path : QString();
}
