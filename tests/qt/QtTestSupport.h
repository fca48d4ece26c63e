// What the GUI tests share: a dialog logic that is only its layout, whether a
// text fits its widget in the widget's own font, and the screenshots.
#pragma once

#include "ui/DialogLogic.h"

#include <QString>

class QWidget;

// A dialog that does nothing but show its layout.
class CLayoutOnly : public CDialogLogic {
public:
    explicit CLayoutOnly(const CDialogLayout& layout) : m_layout(layout) {}
    const CDialogLayout& Layout() const override { return m_layout; }

private:
    const CDialogLayout& m_layout;
};

// The text a widget shows (a button's, a label's, a group box's caption; a
// drop list's and a dump's have their own checks in TextFitsWidget).
QString ShownText(const QWidget* widget);

// Whether `widget` shows all of its text in its font: the text's width
// against the room the widget's style leaves it (a push button's and a
// check box's contents, a group box's caption, a drop list's field for
// every item that can be selected, a dump's page for every line), and a wrapped label's lines
// against its height. False with the reason in `why`.
bool TextFitsWidget(const QWidget* widget, QString& why);

// Writes the window as it looks into <build>/screenshots/<name>.png; the
// file's path, or empty when it could not be written.
QString SaveScreenshot(QWidget* window, const QString& name);
