// Every dialog of the layout tables as the Qt host builds it: each control
// there with its kind, text, place and size; none overlapping another; no
// text clipped in its real font; every character of every text in the
// dialog's fonts. A screenshot of each dialog goes under the build tree.
#include "QtTestSupport.h"

#include "ui/AboutDlg.h"
#include "ui/DlgCalibration.h"
#include "ui/DlgProtect.h"
#include "ui/DlgVerifyError.h"
#include "ui/FunctionTest.h"
#include "ui/LayoutTables.h"
#include "ui/StringTable.h"
#include "ui/qt/QtWindowHost.h"

#include "device/PicDevice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

namespace {

bool IsKind(const QWidget* widget, EControlKind kind) {
    switch (kind) {
    case EControlKind::Button:
        return qobject_cast<const QPushButton*>(widget) != nullptr &&
               !static_cast<const QPushButton*>(widget)->isDefault();
    case EControlKind::DefaultButton:
        return qobject_cast<const QPushButton*>(widget) != nullptr &&
               static_cast<const QPushButton*>(widget)->isDefault();
    case EControlKind::Static:
    case EControlKind::Cell:
    case EControlKind::Icon:
        return qobject_cast<const QLabel*>(widget) != nullptr;
    case EControlKind::GroupBox:
        return qobject_cast<const QGroupBox*>(widget) != nullptr;
    case EControlKind::CheckBox:
        return qobject_cast<const QCheckBox*>(widget) != nullptr;
    case EControlKind::RadioButton:
        return qobject_cast<const QRadioButton*>(widget) != nullptr;
    case EControlKind::DropList:
        return qobject_cast<const QComboBox*>(widget) != nullptr &&
               !static_cast<const QComboBox*>(widget)->isEditable();
    case EControlKind::DumpEdit:
        return qobject_cast<const QPlainTextEdit*>(widget) != nullptr &&
               static_cast<const QPlainTextEdit*>(widget)->isReadOnly();
    case EControlKind::ProgressBar:
        return qobject_cast<const QProgressBar*>(widget) != nullptr;
    }
    return false;
}

QString Describe(const CDialogLayout& dialog, const CControlDef& def) {
    return QStringLiteral("dialog %1, control %2 \"%3\"").arg(dialog.Id).arg(def.Id).arg(ToQString(def.Text));
}

// Texts of a layout and its menu, for the glyph check.
QStringList TextsOf(const CDialogLayout& dialog) {
    QStringList texts = {ToQString(dialog.Title)};
    for (const CControlDef& def : dialog.Controls) {
        texts << ToQString(def.Text);
    }
    if (const CMenuLayout* menu = FindMenuLayout(dialog.MenuId)) {
        for (const CMenuPopupDef& popup : menu->Popups) {
            texts << ToQString(popup.Text);
            for (const CMenuItemDef& item : popup.Items) {
                texts << ToQString(item.Text);
            }
        }
    }
    return texts;
}

// Whether one of the font's families has a glyph for every character.
QString MissingGlyphs(const QFont& font, const QString& text) {
    QString missing;
    for (const QChar c : text) {
        if (c.isSpace()) {
            continue;
        }
        bool found = false;
        for (const QString& family : font.families()) {
            QFont single(family);
            if (QFontMetrics(single).inFont(c) &&
                QFontDatabase::families().contains(family, Qt::CaseInsensitive)) {
                found = true;
                break;
            }
        }
        if (!found) {
            missing += c;
        }
    }
    return missing;
}

} // namespace

class CQtLayoutTests : public QObject {
    Q_OBJECT

private slots:
    void DialogUnitsFollowTheFont();
    void EveryControlHasItsKindTextPlaceAndSize();
    void NoControlsOverlap();
    void NoTemplateTextIsClipped();
    void EveryCharacterHasAGlyph();
    void MenuBarFollowsTheMenuTable();
    void TabOrderFollowsTheTable();
    void ScreenshotOfEveryDialog();
};

void CQtLayoutTests::DialogUnitsFollowTheFont() {
    // The fixed-pitch gothic: Latin letters half as wide as kana, so the
    // dumps' columns line up whatever they hold.
    const QFont gothic = DialogFont("ＭＳ ゴシック", 9);
    QVERIFY(QFontInfo(gothic).family().contains(QStringLiteral("Gothic"), Qt::CaseInsensitive) ||
            QFontInfo(gothic).family().contains(QStringLiteral("Mono"), Qt::CaseInsensitive));
    const QFontMetrics metrics(gothic);
    QCOMPARE(metrics.horizontalAdvance(QStringLiteral("ア")),
             2 * metrics.horizontalAdvance(QLatin1Char('A')));
    QCOMPARE(metrics.horizontalAdvance(QLatin1Char('i')), metrics.horizontalAdvance(QLatin1Char('W')));
    QCOMPARE(QFontInfo(gothic).pointSize(), 9);
    QCOMPARE(QFontInfo(DialogFont("MS Shell Dlg", 8)).pointSize(), 8);
    // The desktop's own family, not the Japanese one behind it.
    QCOMPARE(QFontInfo(DialogFont("MS Shell Dlg", 8)).family(),
             QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family());

    const CDialogBaseUnits units = BaseUnitsOf(gothic);
    QCOMPARE(units.X, metrics.horizontalAdvance(QLatin1Char('A'))); // a fixed pitch's average is its pitch
    QCOMPARE(units.Y, metrics.height());

    // Corners are mapped, not sizes: controls that touch in dialog units
    // touch in pixels whatever the rounding.
    const CDialogBaseUnits odd = {7, 13};
    for (int x = 0; x < 40; ++x) {
        const QRect left = DialogRectToPixels({x, x, 5, 3}, odd);
        const QRect right = DialogRectToPixels({x + 5, x + 3, 9, 9}, odd);
        QCOMPARE(left.x() + left.width(), right.x());
        QCOMPARE(left.y() + left.height(), right.y());
    }
    QCOMPARE(DialogUnitsToPixelsX(425, {6, 13}), 638); // 637.5 rounds up
    QCOMPARE(DialogUnitsToPixelsY(292, {6, 13}), 475); // 474.5 rounds up
    QCOMPARE(DialogUnitsToPixelsX(0, {6, 13}), 0);

    // Mnemonic marks of statics.
    QCOMPARE(StaticDisplayText("A&&B &C&", false), QStringLiteral("A&B C"));
    QCOMPARE(StaticDisplayText("A&&B", true), QStringLiteral("A&&B"));
}

void CQtLayoutTests::EveryControlHasItsKindTextPlaceAndSize() {
    for (const CDialogLayout* dialog : AllDialogLayouts()) {
        CLayoutOnly logic(*dialog);
        CQtWindowHost host(logic);
        host.AttachLogic();
        const CDialogBaseUnits units = BaseUnitsOf(DialogFont(dialog->FontName, dialog->FontPoints));
        QCOMPARE(host.windowTitle(), ToQString(dialog->Title));
        QCOMPARE(host.width(), DialogUnitsToPixelsX(dialog->Width, units));
        QCOMPARE(host.height(), host.ClientTop() + DialogUnitsToPixelsY(dialog->Height, units));
        QCOMPARE(host.MenuBar() != nullptr, dialog->MenuId != 0);
        for (size_t i = 0; i < dialog->Controls.size(); ++i) {
            const CControlDef& def = dialog->Controls[i];
            const QString where = Describe(*dialog, def);
            QWidget* widget = host.WidgetAt(i);
            QVERIFY2(widget != nullptr, qPrintable(where));
            if (def.Id != kIdStatic) {
                QCOMPARE(host.ControlWidget(def.Id), widget);
            }
            QVERIFY2(IsKind(widget, def.Kind), qPrintable(where));
            QVERIFY2(widget->parentWidget() == &host, qPrintable(where));
            const QRect expected = DialogRectToPixels(def.Rect, units).translated(0, host.ClientTop());
            QVERIFY2(widget->geometry() == expected, qPrintable(where));
            QCOMPARE(widget->isEnabled(), (def.Style & kStyleDisabled) == 0);
            if (def.Kind != EControlKind::DropList && def.Kind != EControlKind::DumpEdit &&
                def.Kind != EControlKind::ProgressBar && def.Kind != EControlKind::Icon) {
                const bool noPrefix = def.Kind == EControlKind::Static || def.Kind == EControlKind::Cell
                                          ? (def.Style & kStyleNoPrefix) != 0
                                          : true;
                QVERIFY2(ShownText(widget) == StaticDisplayText(def.Text, noPrefix), qPrintable(where));
                if (def.Id != kIdStatic) {
                    QCOMPARE(host.GetItemText(def.Id), std::string(def.Text));
                }
            }
        }
    }
}

void CQtLayoutTests::NoControlsOverlap() {
    for (const CDialogLayout* dialog : AllDialogLayouts()) {
        CLayoutOnly logic(*dialog);
        CQtWindowHost host(logic);
        const QRect client(0, host.ClientTop(), host.width(), host.height() - host.ClientTop());
        for (size_t i = 0; i < dialog->Controls.size(); ++i) {
            const QWidget* a = host.WidgetAt(i);
            QVERIFY2(client.contains(a->geometry()), qPrintable(Describe(*dialog, dialog->Controls[i])));
            for (size_t j = i + 1; j < dialog->Controls.size(); ++j) {
                const QWidget* b = host.WidgetAt(j);
                if (!a->geometry().intersects(b->geometry())) {
                    continue;
                }
                const bool framed =
                    (qobject_cast<const QGroupBox*>(a) != nullptr && a->geometry().contains(b->geometry())) ||
                    (qobject_cast<const QGroupBox*>(b) != nullptr && b->geometry().contains(a->geometry()));
                QVERIFY2(framed, qPrintable(Describe(*dialog, dialog->Controls[i]) + " overlaps " +
                                            Describe(*dialog, dialog->Controls[j])));
            }
        }
    }
}

void CQtLayoutTests::NoTemplateTextIsClipped() {
    for (const CDialogLayout* dialog : AllDialogLayouts()) {
        CLayoutOnly logic(*dialog);
        CQtWindowHost host(logic);
        host.show(); // the styles lay out scroll bars and frames when shown
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        for (size_t i = 0; i < dialog->Controls.size(); ++i) {
            QString why;
            QVERIFY2(TextFitsWidget(host.WidgetAt(i), why),
                     qPrintable(Describe(*dialog, dialog->Controls[i]) + ": " + why));
        }
    }
}

void CQtLayoutTests::EveryCharacterHasAGlyph() {
    for (const CDialogLayout* dialog : AllDialogLayouts()) {
        const QFont font = DialogFont(dialog->FontName, dialog->FontPoints);
        for (const QString& text : TextsOf(*dialog)) {
            QVERIFY2(MissingGlyphs(font, text).isEmpty(),
                     qPrintable(QStringLiteral("dialog %1: no glyph for \"%2\" in \"%3\"")
                                    .arg(dialog->Id)
                                    .arg(MissingGlyphs(font, text), text)));
        }
    }
    for (const char* text : {kMsgSaveFailed, kMsgVerifyDifferentDevice, StringTableText(kIdsAboutBox)}) {
        QVERIFY2(MissingGlyphs(DesktopFont(), ToQString(text)).isEmpty(), text);
    }
}

void CQtLayoutTests::MenuBarFollowsTheMenuTable() {
    const CDialogLayout& main = *FindDialogLayout(kIddMain);
    const CMenuLayout& table = *FindMenuLayout(main.MenuId);
    CLayoutOnly logic(main);
    CQtWindowHost host(logic);
    QCOMPARE(host.MenuCount(), static_cast<int>(table.Popups.size()));
    const QList<QAction*> titles = host.MenuBar()->actions();
    for (int m = 0; m < host.MenuCount(); ++m) {
        const CMenuPopupDef& popup = table.Popups[static_cast<size_t>(m)];
        QCOMPARE(titles[m]->text(), ToQString(popup.Text)); // with its mnemonic
        QCOMPARE(host.MenuItemCount(m), static_cast<int>(popup.Items.size()));
        for (int p = 0; p < host.MenuItemCount(m); ++p) {
            const CMenuItemDef& item = popup.Items[static_cast<size_t>(p)];
            const QAction* action = host.Menu(m)->actions()[p];
            QCOMPARE(host.MenuItemId(m, p), item.Id);
            QCOMPARE(action->isSeparator(), item.Id == 0);
            if (item.Id != 0) {
                QCOMPARE(host.MenuItemText(m, p), std::string(item.Text));
                QVERIFY(!action->isChecked()); // until the window sets its options
                QCOMPARE(action->isEnabled(), !item.Grayed);
            }
        }
    }
    // The controls keep their places below the bar.
    QVERIFY(host.ClientTop() >= host.MenuBar()->sizeHint().height());
}

void CQtLayoutTests::TabOrderFollowsTheTable() {
    for (const CDialogLayout* dialog : AllDialogLayouts()) {
        CLayoutOnly logic(*dialog);
        CQtWindowHost host(logic);
        std::vector<QWidget*> stops;
        for (size_t i = 0; i < dialog->Controls.size(); ++i) {
            if (IsTabStop(dialog->Controls[i])) {
                stops.push_back(host.WidgetAt(i));
                QVERIFY(host.WidgetAt(i)->focusPolicy() & Qt::TabFocus);
            } else {
                QVERIFY(!(host.WidgetAt(i)->focusPolicy() & Qt::TabFocus));
            }
        }
        for (size_t i = 0; i + 1 < stops.size(); ++i) {
            // The next widget in the chain that Tab stops at.
            QWidget* next = stops[i]->nextInFocusChain();
            while (next != stops[i] && !(next->focusPolicy() & Qt::TabFocus)) {
                next = next->nextInFocusChain();
            }
            QVERIFY2(next == stops[i + 1],
                     qPrintable(QStringLiteral("dialog %1, stop %2").arg(dialog->Id).arg(i)));
        }
    }
}

void CQtLayoutTests::ScreenshotOfEveryDialog() {
    // Each dialog with its own logic, as the window opens it.
    CLayoutOnly parentLogic(*FindDialogLayout(kIddMain));
    CQtWindowHost parent(parentLogic);
    CAboutDlg about;
    CDlgProtect protect;
    protect.m_bViewProtect = true;
    CDlgCalibration calibration;
    CDlgVerifyError verify;
    verify.m_nErrorFlags = kVerifyDifferentDevice;
    CKVX3FunctionTest functionTest;
    const std::pair<CDialogLogic*, const char*> dialogs[] = {
        {&about, "about"},
        {&protect, "protect"},
        {&calibration, "calibration"},
        {&verify, "verify-error"},
        {&functionTest, "function-test"},
    };
    for (const auto& [logic, name] : dialogs) {
        CQtWindowHost host(*logic, &parent);
        host.AttachLogic();
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        for (size_t i = 0; i < logic->Layout().Controls.size(); ++i) {
            QString why;
            QVERIFY2(TextFitsWidget(host.WidgetAt(i), why), qPrintable(QString::fromUtf8(name) + ": " + why));
        }
        QVERIFY2(!SaveScreenshot(&host, QStringLiteral("dialog-") + QString::fromUtf8(name)).isEmpty(), name);
    }
}

QTEST_MAIN(CQtLayoutTests)
#include "QtLayoutTests.moc"
