#pragma once

#include "main_window/Command.h"

#include <QIcon>
#include <QString>

// The toolbar's pictures and the window's icon. The desktop's icon theme is used where it has a
// picture; otherwise a simple drawn one stands in, so the toolbar is never blank.
namespace Icons {
// The 16 x 16 picture of a toolbar button's command (Open ... Help).
QIcon toolbarIcon(Command command);
// The program's icon, drawn at several sizes.
QIcon windowIcon();
QPixmap windowPixmap(int size);
} // namespace Icons
