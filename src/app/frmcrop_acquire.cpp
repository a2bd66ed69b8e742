// Screen capture, dropped files and the command-line file.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMimeData>
#include <QUrl>
#include <QWindow>

#include "acquisition/picturefile.h"
#include "app/frmcrop.h"

namespace trimlet {

// After hide() the window system still has to unmap the window and let the windows
// below it repaint; the grab must not catch even a fading frame of ours.
void frmCrop::WaitUntilHidden() {
    QCoreApplication::processEvents();
    QWindow* handle = windowHandle();
    QElapsedTimer waited;
    waited.start();
    while (handle && handle->isExposed() && waited.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void frmCrop::cmdCap_Click() {
    hide();
    WaitUntilHidden();
    if (services_.sleep) services_.sleep(captureWait_);
    const bool captured = SendPrintScreenNow();
    show();
    // No picture of the screen (a portal that failed, refused or did not answer): the
    // view keeps its picture rather than showing whatever else the clipboard holds.
    if (!captured) return;
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
