// A widget header included by its class name: found only in QtWidgets' own folder.
#include <QWidget>

int WidgetSize();
int WidgetSize() { return static_cast<int>(sizeof(QWidget)); }
