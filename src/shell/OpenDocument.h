#pragma once

#include <QString>

class Platform;
class QWidget;

namespace mdlShare {

// Opens the document at path with the desktop's associated program. When that fails, tells the
// user why in a message box (OK button only, title "Vornel") that names the file: a missing file
// gives "次のファイルが見つかりません。", a file that no program would open (no viewer for text
// files on this desktop) "次のファイルを開くプログラムが見つかりません。".
void OpenDocument(Platform& platform, QWidget* parent, const QString& path);

} // namespace mdlShare
