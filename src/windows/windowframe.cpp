#include "windows/windowframe.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace trimlet {

const QScreen* ScreenOf(const QWidget* window) {
    return window->screen() ? window->screen() : QGuiApplication::primaryScreen();
}

QMargins FrameMargins(const QWidget* window) {
    const QRect in = window->geometry();
    const QRect out = window->frameGeometry();
    return {in.left() - out.left(), in.top() - out.top(), out.right() - in.right(),
            out.bottom() - in.bottom()};
}

}  // namespace trimlet
