// How long one pointer move of a left drag takes on a 3840 x 2160 picture shown in a
// view of 1900 x 1000 pixels, including the repaint of what the move changed.
//
// Each event is sent to the image box like the platform would, then the pending
// repaint is run (on the offscreen platform the window paints into memory), and the
// time of both is taken together. Three drags of 1000 moves each:
//   - across the view: the band grows from near the top-left corner to near the
//     bottom-right corner of the visible part, no scrolling;
//   - to and fro: the pointer sweeps back and forth, the band grows and shrinks;
//   - past the edge: the pointer stays beyond the bottom-right of the view, so every
//     move also scrolls the view by one pixel in each direction.
// All three with the loupe off and on (on: every move also composes and repaints it).
// Run: `build/bench/bench_drag` (one core: `taskset -c 0 build/bench/bench_drag`). It
// runs on the offscreen platform with a 1920 x 1200 screen, so the maximised-size
// window fits whatever display the machine has.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/frmcrop.h"
#include "support/fakes.h"
#include "support/frmcroppeer.h"

namespace {

struct Stats {
    double median, p95, max;
};

Stats Summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back()};
}

// Counts the paint events of the image box and the pixels they cover.
class PaintCounter final : public QObject {
public:
    long long events = 0;
    long long pixels = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++events;
            for (const QRect& r : static_cast<QPaintEvent*>(e)->region())
                pixels += static_cast<long long>(r.width()) * r.height();
        }
        return false;
    }
};

void Send(QWidget* target, QEvent::Type type, QPointF local, Qt::MouseButton button,
          Qt::MouseButtons buttons) {
    QMouseEvent e(type, local, target->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &e);
}

struct Drag {
    const char* name;
    QPointF press;
    std::function<QPointF(int)> pointer;  // the move's position, image-box pixels
};

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    {
        QFile f(config);
        if (!dir.isValid() || !f.open(QIODevice::WriteOnly)) return 1;
        f.write(R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": 1920,
                    "height": 1200, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    }
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    QApplication app(argc, argv);
    trimlet::testing::FakeClipboard clipboard;
    clipboard.image = trimlet::testing::PatternImage(3840, 2160);
    trimlet::CropServices services;
    services.clipboard = &clipboard;
    trimlet::frmCrop window(services);
    window.Form_Load(QString());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    // A client area of 1916 x 1048 gives the viewport 1900 x 1000.
    window.resize(1916, 1048 + window.menuBar()->height());
    QCoreApplication::processEvents();
    trimlet::ImageBox* box = Peer(window).picCrop();
    std::printf("picture %d x %d, viewport %d x %d\n", box->picture().width(),
                box->picture().height(), Peer(window).view().viewportWidth,
                Peer(window).view().viewportHeight);

    PaintCounter counter;
    box->installEventFilter(&counter);
    constexpr int kMoves = 1000;
    const std::vector<Drag> drags = {
        {"across the view", {40, 30}, [](int i) { return QPointF(60 + i * 1.8, 50 + i * 0.9); }},
        {"to and fro",
         {40, 30},
         [](int i) {
             const double t = std::abs(((i * 7) % 400) - 200) / 200.0;  // 1 .. 0 .. 1
             return QPointF(100 + t * 1750, 80 + t * 880);
         }},
        {"past the edge (scrolls)", {40, 30}, [](int) { return QPointF(-1, -1); }},
    };
    for (const bool loupe : {false, true}) {
        QAction* loupeItem = Peer(window).mnLoupe();
        if (loupeItem->isChecked() != loupe) loupeItem->trigger();
        std::printf("loupe %s\n", loupe ? "on" : "off");
        for (const Drag& d : drags) {
            Peer(window).view().hs.setValue(1);
            Peer(window).view().vs.setValue(1);
            QCoreApplication::processEvents();
            Peer(window).editor().pictureLoaded();  // no event is swallowed
            Send(box, QEvent::MouseButtonPress, d.press, Qt::LeftButton, Qt::LeftButton);
            QCoreApplication::processEvents();
            counter.events = counter.pixels = 0;
            std::vector<double> ms;
            ms.reserve(kMoves);
            for (int i = 0; i < kMoves; ++i) {
                QPointF p = d.pointer(i);
                // Past the edge: just beyond the visible bottom-right, wherever the box is.
                if (p.x() < 0)
                    p = QPointF(1900 - box->imagePos().x() + 5, 1000 - box->imagePos().y() + 5);
                p += box->imagePos();  // image-box pixels to the viewport's (ratio 1)
                QElapsedTimer t;
                t.start();
                Send(box, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
                QCoreApplication::processEvents();
                ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
            }
            const bool shown = box->loupe().has_value();
            Send(box, QEvent::MouseButtonRelease, d.pointer(kMoves - 1), Qt::LeftButton,
                 Qt::NoButton);
            const Stats s = Summarise(ms);
            std::printf(
                "%-26s median %6.3f ms   p95 %6.3f ms   max %6.3f ms   paints %lld, "
                "%.0f pixels per move   HS %d VS %d   loupe %s\n",
                d.name, s.median, s.p95, s.max, counter.events,
                static_cast<double>(counter.pixels) / kMoves, Peer(window).HS()->value(),
                Peer(window).VS()->value(), shown ? "shown" : "hidden");
        }
    }
    return 0;
}
