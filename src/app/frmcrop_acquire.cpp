// Screen capture, dropped files and the command-line file.
#include <QMimeData>

#include "app/frmcrop.h"

namespace trimlet {

void frmCrop::cmdCap_Click() {}

bool frmCrop::PutFileOnClipboard(const QString&) { return false; }

void frmCrop::picCrop_OLEDragDrop(const QMimeData*) {}

}  // namespace trimlet
