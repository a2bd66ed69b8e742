// A widget header included by its module path: found through Qt's include root, which
// every Qt library brings.
#include <QtWidgets/QWidget>

int WidgetSize();
int WidgetSize() { return static_cast<int>(sizeof(QWidget)); }
