#pragma once

#include <QIcon>
#include <QString>

// The toolbar's pictures and the window's icon. The desktop's icon theme is used where it has a
// picture; otherwise a simple drawn one stands in, so the toolbar is never blank.
namespace Icons {
// The 16 x 16 picture of a toolbar command key ("M_Open" ... "M_Help").
QIcon toolbarIcon(const QString& key);
// The program's icon, drawn at several sizes.
QIcon windowIcon();
QPixmap windowPixmap(int size);
} // namespace Icons
