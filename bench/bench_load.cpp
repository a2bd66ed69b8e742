// How long filling the view from the clipboard takes for a 3840 x 2160 picture.
//
// Two figures: through the real X11 clipboard, owned by an xclip process holding a
// PNG (what a user pays after copying a screenshot elsewhere), and through an
// in-memory clipboard (what the program itself adds: conversion, image box, layout,
// first paint). Run under an X server: `bash tests/e2e/xvfb.sh 1920x1080x24
// build/bench/bench_load`.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/frmcrop.h"
#include "platform/clipboard.h"
#include "support/fakes.h"

namespace {

struct Stats {
    double median, p95, min;
};

Stats Summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.front()};
}

template <typename F>
Stats Time(int runs, F&& f) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    return Summarise(ms);
}

void Print(const char* what, const Stats& s) {
    std::printf("%-44s median %8.2f ms   p95 %8.2f ms   min %8.2f ms\n", what, s.median, s.p95,
                s.min);
}

// Reloads from the given clipboard into a shown main window, runs times, and prints.
void TimeReloads(trimlet::Clipboard& clipboard, const char* label, int runs) {
    trimlet::CropServices s;
    s.clipboard = &clipboard;
    trimlet::frmCrop window(s);
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    const Stats st = Time(runs, [&] {
        window.cmdCBChk_Click();
        window.repaint();
    });
    Print(label, st);
    std::printf("caption after the last load: %s\n", window.windowTitle().toUtf8().constData());
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QImage picture = trimlet::testing::PatternImage(3840, 2160);

    // In memory: everything the program does once the pixels are in hand.
    trimlet::testing::FakeClipboard memory;
    memory.image = picture;
    TimeReloads(memory, "load 3840x2160, in-memory clipboard", 20);

    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::printf("(no X server: the real clipboard figure needs one: tests/e2e/xvfb.sh)\n");
        return 0;
    }
    QTemporaryDir dir;
    const QString png = dir.filePath("pic.png");
    picture.save(png);
    QProcess xclip;
    xclip.start("xclip", {"-quiet", "-loops", "1000", "-selection", "clipboard", "-t", "image/png",
                          "-i", png});
    if (!xclip.waitForStarted()) {
        std::printf("xclip is missing\n");
        return 1;
    }
    QTest::qWait(500);
    trimlet::QtClipboard clipboard;
    TimeReloads(clipboard, "load 3840x2160, X11 clipboard (PNG by xclip)", 10);
    xclip.kill();
    xclip.waitForFinished();
    return 0;
}
