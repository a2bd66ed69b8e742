// The help and version windows.
#include "app/frmcrop.h"

namespace trimlet {

void frmCrop::mnHelp_Click() {}

void frmCrop::mnVersion_Click() {}

}  // namespace trimlet
