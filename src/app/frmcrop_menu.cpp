// The help and version windows.
#include "app/frmcrop.h"
#include "windows/frmhelp.h"
#include "windows/frmversion.h"

namespace trimlet {

// Both windows are built afresh at each opening and block the main window until closed.
void frmCrop::mnHelp_Click() {
    frmHelp help(this);
    help.exec();
}

void frmCrop::mnVersion_Click() {
    frmVersion version(services_.urlOpener, this);
    version.exec();
}

}  // namespace trimlet
