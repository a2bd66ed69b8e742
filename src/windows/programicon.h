#pragma once

#include <QIcon>
#include <QPixmap>

namespace trimlet {

// The program's 32 x 32 picture: the icon of every window and the picture in the
// version window.
[[nodiscard]] QIcon ProgramIcon();
[[nodiscard]] QPixmap ProgramPicture();

}  // namespace trimlet
