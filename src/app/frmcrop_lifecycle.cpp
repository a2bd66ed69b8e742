// Start-up and shutdown of the main window.
#include "app/frmcrop.h"

namespace trimlet {

void frmCrop::Form_Load(const QString& commandLine) {
    editor_.resetLastMove();
    if (!commandLine.isEmpty()) {
        // A file that cannot be loaded leaves the clipboard as it is; start-up goes on.
        (void)PutFileOnClipboard(commandLine);
        if (services_.processEvents) services_.processEvents();
    }
    LoadFromClipboard();
    SelectWholePicture();
}

void frmCrop::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
}

}  // namespace trimlet
