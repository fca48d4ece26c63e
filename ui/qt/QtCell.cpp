#include "ui/qt/QtCell.h"

#include <QMouseEvent>

CQtCell::CQtCell(QWidget* parent) : QLabel(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText);
}

void CQtCell::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && OnClick) {
        event->accept();
        OnClick();
        return;
    }
    QLabel::mousePressEvent(event);
}

void CQtCell::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}
