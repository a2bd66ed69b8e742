#include "windows/windowframe.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace trimlet {

const QScreen* ScreenOf(const QWidget* window) {
    return window->screen() ? window->screen() : QGuiApplication::primaryScreen();
}

bool MayMoveWindow(const QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowStateChange:
            return true;
        default:
            return false;
    }
}

QMargins FrameMargins(const QWidget* window) {
    const QRect in = window->geometry();
    const QRect out = window->frameGeometry();
    return {in.left() - out.left(), in.top() - out.top(), out.right() - in.right(),
            out.bottom() - in.bottom()};
}

}  // namespace trimlet
