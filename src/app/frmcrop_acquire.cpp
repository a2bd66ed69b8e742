// Screen capture, dropped files and the command-line file.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMimeData>
#include <QUrl>
#include <QWindow>

#include "acquisition/picturefile.h"
#include "app/frmcrop.h"

namespace trimlet {
namespace {

// After hide() the window system still has to unmap the window and let the windows
// below it repaint; the grab must not catch even a fading frame of ours.
void WaitUntilHidden(QWidget* window) {
    QCoreApplication::processEvents();
    QWindow* handle = window->windowHandle();
    QElapsedTimer waited;
    waited.start();
    while (handle && handle->isExposed() && waited.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

void frmCrop::cmdCap_Click() {
    hide();
    WaitUntilHidden(this);
    if (services_.sleep) services_.sleep(captureWait_);
    SendPrintScreenNow();
    show();
    LoadFromClipboard();
    SelectWholePicture();
}

bool frmCrop::PutFileOnClipboard(const QString& path) {
    return services_.clipboard && trimlet::PutFileOnClipboard(path, *services_.clipboard);
}

void frmCrop::picCrop_OLEDragDrop(const QMimeData* data) {
    // Only the first file of a dropped file list counts; text and the like do nothing.
    if (!data || !data->hasUrls()) return;
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty()) return;
    const QString path = urls.first().toLocalFile();
    if (!PutFileOnClipboard(path)) return;
    if (services_.processEvents) services_.processEvents();
    LoadFromClipboard();
    SelectWholePicture();
}

}  // namespace trimlet
