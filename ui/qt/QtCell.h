// A clickable cell of the window: a sunken, centred text that reports a
// press of the left mouse button (a static control that notifies clicks).
// Disabled, it takes no clicks, as every disabled widget.
#pragma once

#include <QLabel>

#include <functional>

class CQtCell : public QLabel {
public:
    explicit CQtCell(QWidget* parent);

    std::function<void()> OnClick;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    // A quick second click is a click of its own: a bit clicked twice is
    // back where it was.
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
