#include "shell/OpenDocument.h"

#include "main_window/Platform.h"
#include "shell/OpenDocumentMessage.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace mdlShare {

void OpenDocument(Platform& platform, QWidget* parent, const QString& path) {
    int result = ShellOpenedOk + 1;
    if (!QFileInfo::exists(path))
        result = ShellFileNotFound;
    else if (!platform.openUrl(QUrl::fromLocalFile(path)))
        result = ShellNoAssociation;

    const QString message = OpenDocumentMessage(result, QDir::toNativeSeparators(path));
    if (!message.isEmpty())
        platform.messageBox(parent, message, Platform::OkOnly, QStringLiteral("Vornel"));
}

} // namespace mdlShare
