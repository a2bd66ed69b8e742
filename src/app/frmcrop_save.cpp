// Saving the selection.
#include "app/frmcrop.h"

namespace trimlet {

void frmCrop::cmdSave_Click(int) {}

bool frmCrop::cbJpg_Validate() { return false; }

}  // namespace trimlet
