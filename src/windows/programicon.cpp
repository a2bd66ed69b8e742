#include "windows/programicon.h"

// The picture is compiled into this library; a static library's resources are
// registered by hand, outside any namespace.
static void RegisterProgramPicture() { Q_INIT_RESOURCE(trimlet); }

namespace trimlet {
namespace {

const QString kPicturePath = QStringLiteral(":/trimlet/trimlet.png");

void EnsureRegistered() {
    static const bool registered = (RegisterProgramPicture(), true);
    (void)registered;
}

}  // namespace

QIcon ProgramIcon() {
    EnsureRegistered();
    return QIcon(kPicturePath);
}

QPixmap ProgramPicture() {
    EnsureRegistered();
    return QPixmap(kPicturePath);
}

}  // namespace trimlet
