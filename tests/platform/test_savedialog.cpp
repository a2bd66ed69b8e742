// The Qt save dialog opens modal over the window it was given, and on its own once that
// window is gone.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/savedialog_qt.h"

namespace trimlet {
namespace {

struct Seen {
    bool shown = false;
    QWidget* parent = nullptr;
    bool modal = false;
};

// Cancels the dialog once it is up, noting how it was shown; looked for again every few
// milliseconds, so a slow start never leaves exec() waiting.
void CancelWhenShown(Seen& seen, int tries = 0) {
    QTimer::singleShot(tries == 0 ? 0 : 10, [&seen, tries] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* d = qobject_cast<QFileDialog*>(w);
            if (!d || !d->isVisible()) continue;
            seen = {true, d->parentWidget(), d->isModal()};
            d->reject();
            return;
        }
        if (tries < 500) CancelWhenShown(seen, tries + 1);
    });
}

TEST(QtSaveFileDialog, OpensModalOverItsWindow) {
    auto given = std::make_unique<QWidget>();
    auto later = std::make_unique<QWidget>();
    struct Case {
        const char* name;
        std::function<std::unique_ptr<QtSaveFileDialog>()> make;
        QWidget* parent;
    };
    const Case cases[] = {
        {"parent given at construction",
         [&] { return std::make_unique<QtSaveFileDialog>(given.get()); }, given.get()},
        {"parent set once the window exists",
         [&] {
             auto d = std::make_unique<QtSaveFileDialog>();
             d->setParentWindow(later.get());
             return d;
         },
         later.get()},
        {"no parent", [] { return std::make_unique<QtSaveFileDialog>(); }, nullptr},
    };
    for (const Case& c : cases) {
        const std::unique_ptr<QtSaveFileDialog> dialog = c.make();
        Seen seen;
        CancelWhenShown(seen);
        EXPECT_FALSE(
            dialog->askFileName(QStringLiteral("PNG (*.png)|*.png"), QStringLiteral("pic.png"), {}))
            << c.name;
        EXPECT_TRUE(seen.shown) << c.name;
        EXPECT_EQ(seen.parent, c.parent) << c.name;
        EXPECT_TRUE(seen.modal) << c.name;
    }

    // The window closed before the dialog was asked for: the dialog opens on its own.
    QtSaveFileDialog dialog(given.get());
    given.reset();
    Seen seen;
    CancelWhenShown(seen);
    EXPECT_FALSE(
        dialog.askFileName(QStringLiteral("PNG (*.png)|*.png"), QStringLiteral("pic.png"), {}));
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(seen.parent, nullptr);
}

}  // namespace
}  // namespace trimlet
