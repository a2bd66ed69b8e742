#pragma once
// Runs a check on the modal window a call opens, then closes it, so a test never hangs
// on exec().

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

namespace trimlet::testing {

// Calls open() (which runs a modal exec) and, once the modal window is up, inspect(it).
// The window is closed afterwards unless inspect closed it. Returns how many modal
// windows were seen.
inline int WhileModal(const std::function<void()>& open,
                      const std::function<void(QDialog*)>& inspect) {
    int seen = 0;
    QTimer timer;
    timer.setInterval(10);
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (++ticks > 200) ADD_FAILURE() << "no modal window opened";
            return;
        }
        timer.stop();
        ++seen;
        inspect(dialog);
        if (dialog->isVisible()) dialog->reject();
    });
    timer.start();
    open();
    timer.stop();
    return seen;
}

}  // namespace trimlet::testing
