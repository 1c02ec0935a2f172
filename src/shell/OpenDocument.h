#pragma once

#include <QString>

class Platform;
class QWidget;

namespace mdlShare {

// Opens the document at path with the desktop's associated program. When that fails, tells the
// user why in a message box (OK button only, title "Vornel"): a missing file gives
// "File not found:" and the path, a file that no program would open "No association for file
// extension".
void OpenDocument(Platform& platform, QWidget* parent, const QString& path);

} // namespace mdlShare
