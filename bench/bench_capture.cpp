// What 画面ｷｬﾌﾟﾁｬ costs from the click to the captured picture shown, beyond the
// chosen wait: hiding the window until it is unmapped, grabbing every screen, the
// clipboard round trip, showing the window again and the load. The wait itself is left
// out (the sleep is replaced by nothing). Run under an X server of the size to measure:
// `bash tests/e2e/xvfb.sh 1920x1080x24 build/bench/bench_capture`.
#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/frmcrop.h"
#include "platform/clipboard.h"
#include "platform/screengrab.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    trimlet::QtClipboard clipboard;
    const auto grabber = trimlet::CreateScreenGrabber();
    trimlet::CropServices s;
    s.clipboard = &clipboard;
    s.grabber = grabber.get();
    s.sleep = [](int) { return true; };
    s.processEvents = [] { QCoreApplication::processEvents(); };
    trimlet::frmCrop window(s);
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);

    std::vector<double> ms;
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer t;
        t.start();
        window.cmdCap_Click();
        window.repaint();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        QTest::qWait(50);
    }
    std::sort(ms.begin(), ms.end());
    const QSize screen = QGuiApplication::primaryScreen()->size();
    std::printf(
        "capture on a %dx%d screen, beyond the wait: median %.1f ms, min %.1f ms, max %.1f ms\n",
        screen.width(), screen.height(), ms[ms.size() / 2], ms.front(), ms.back());
    std::printf("caption: %s\n\n", window.windowTitle().toUtf8().constData());
    return 0;
}
