#include "main_window/CommonDialog.h"

#include "base/FileKind.h"
#include "main_window/Platform.h"

#include <QFileInfo>

#include <QStringList>

QString CommonDialog::toQtFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        if (description.isEmpty() && parts[i + 1].isEmpty())
            continue;
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns)
            if (p == u"*.*")
                p = QStringLiteral("*"); // every file, also those without a dot
        // An entry shown as its one pattern ("*.csv") reads as that pattern alone, not
        // "*.csv (*.csv)"; a file dialog takes text without parentheses as the pattern itself.
        if (patterns.size() == 1 && description == parts[i + 1] && !description.contains(u' '))
            entries.append(description);
        else
            entries.append(description + QStringLiteral(" (") + patterns.join(u' ') + u')');
    }
    return entries.join(QStringLiteral(";;"));
}

QString CommonDialog::startName() const {
    // The kernel's and the devices' folders are no place to look for files (and the dialog may
    // hang listing them): a name remembered there is not offered again.
    const QFileInfo remembered(FileName);
    const QString folder = remembered.isDir() ? FileName : remembered.absolutePath();
    return !FileName.isEmpty() && FileKind::isSystemFolder(folder) ? QString() : FileName;
}

bool CommonDialog::ShowOpen() {
    const auto chosen = m_platform.openFileName(m_owner, toQtFilter(Filter), startName());
    if (!chosen)
        return false;
    FileName = *chosen;
    return true;
}

bool CommonDialog::ShowSave() {
    const auto chosen =
        m_platform.saveFileName(m_owner, toQtFilter(Filter), startName(), Flags & OverwritePrompt);
    if (!chosen)
        return false;
    FileName = *chosen;
    return true;
}
