// The window's file dialog: filters, the name each command proposes, the shared folder.
#include "main_window/CommonDialog.h"

#include "base/FileKind.h"
#include "main_window/Platform.h"
#include "settings/StoredFolder.h"
#include "settings/mdlIniSet.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

const QString kTitle = QStringLiteral("Vornel");
// The message box's second button (No) is the default.
constexpr int kSecondButtonDefault = 0x100;

bool isOpen(CommonDialog::Use use) {
    return use == CommonDialog::Use::DataOpen || use == CommonDialog::Use::ListLoad ||
           use == CommonDialog::Use::SetLoad;
}

int key(CommonDialog::Use use, int list) {
    return int(use) * 16 +
           (use == CommonDialog::Use::ListLoad || use == CommonDialog::Use::ListSave ? list : 0);
}

// Two names of one file: the same file once both exist, else the same absolute path.
bool sameFile(const QString& a, const QString& b) {
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

} // namespace

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

QString CommonDialog::filterExtension(const QString& entry) {
    // The patterns are those in the last parentheses, or the whole entry when it has none; the
    // first one decides.
    QString patterns = entry;
    const qsizetype open = entry.lastIndexOf(u'(');
    const qsizetype close = entry.lastIndexOf(u')');
    if (open >= 0 && close > open)
        patterns = entry.mid(open + 1, close - open - 1);
    const QString first = patterns.section(u';', 0, 0).trimmed().section(u' ', 0, 0);
    if (!first.startsWith(QStringLiteral("*.")))
        return {};
    const QString extension = first.sliced(2);
    for (QChar c : extension)
        if (c == u'*' || c == u'?' || c == u'[' || c == u'.')
            return {};
    return extension;
}

QString CommonDialog::replacePrompt(const QString& path) {
    return QStringLiteral("「%1」は既にあります。\r\n置き換えますか?")
        .arg(QDir::toNativeSeparators(path));
}

QString CommonDialog::startName(const QString& name) {
    // The kernel's and the devices' folders are no place to look for files (and the dialog may
    // hang listing them): a name there is not offered.
    const QFileInfo info(name);
    const QString folder = info.isDir() ? name : info.absolutePath();
    return !name.isEmpty() && FileKind::isSystemFolder(folder) ? QString() : name;
}

QString CommonDialog::folder() {
    if (!m_folder)
        m_folder = StoredFolder::read(mdlIniSet::IniFilePath());
    return QFileInfo(*m_folder).isDir() ? *m_folder : QString();
}

bool CommonDialog::chosenToRead(const QString& path) const {
    for (const QString& read : m_read)
        if (sameFile(read, path))
            return true;
    return false;
}

QString CommonDialog::newResultName() const {
    const QFileInfo data(m_dataFile);
    const QString base =
        data.completeBaseName().isEmpty() ? data.fileName() : data.completeBaseName();
    const QDir dir = data.absoluteDir();
    for (int n = 1; n < 10000; ++n) {
        const QString name =
            dir.filePath(base + QStringLiteral("_抽出") +
                         (n > 1 ? u'_' + QString::number(n) : QString()) + QStringLiteral(".csv"));
        if (!QFileInfo::exists(name) && !chosenToRead(name))
            return name;
    }
    return dir.path();
}

QString CommonDialog::proposal(Use use, int list) {
    const QString own = m_names.value(key(use, list));
    if (isOpen(use))
        return own.isEmpty() ? folder() : own;
    if (!own.isEmpty() && !chosenToRead(own))
        return own;
    if (use == Use::ResultSave && !m_dataFile.isEmpty())
        return newResultName();
    return folder();
}

void CommonDialog::remember(Use use, int list, const QString& path) {
    FileName = path;
    m_names.insert(key(use, list), path);
    if (isOpen(use))
        m_read.append(path);
    if (use == Use::DataOpen) {
        // Results of another file are saved under a name of their own.
        m_dataFile = path;
        m_names.remove(key(Use::ResultSave, 0));
    }
    const QString chosenFolder = QFileInfo(path).absolutePath();
    if (!FileKind::isSystemFolder(chosenFolder)) {
        m_folder = chosenFolder;
        StoredFolder::write(mdlIniSet::IniFilePath(), chosenFolder);
    }
}

void CommonDialog::dataFileGiven(const QString& path) {
    remember(Use::DataOpen, 0, QFileInfo(path).absoluteFilePath());
}

bool CommonDialog::ShowOpen(Use use, int list) {
    const auto chosen =
        m_platform.openFileName(m_owner, toQtFilter(Filter), startName(proposal(use, list)));
    if (!chosen)
        return false;
    remember(use, list, *chosen);
    return true;
}

bool CommonDialog::ShowSave(Use use, int list) {
    const QString filter = toQtFilter(Filter);
    const bool askToReplace = Flags & OverwritePrompt;
    QString start = startName(proposal(use, list));
    for (;;) {
        QString chosenFilter;
        const auto chosen =
            m_platform.saveFileName(m_owner, filter, start, askToReplace, &chosenFilter);
        if (!chosen)
            return false;
        QString path = *chosen;
        const QString extension = filterExtension(
            chosenFilter.isEmpty() ? filter.section(QStringLiteral(";;"), 0, 0) : chosenFilter);
        if (!path.isEmpty() && !extension.isEmpty() && !QFileInfo(path).isDir() &&
            !QFileInfo(path).fileName().contains(u'.')) {
            path += u'.' + extension;
            // The dialog asked about the name without the extension, if at all: the question is
            // asked again about the file that will be written. No returns to the dialog.
            if (askToReplace && QFileInfo::exists(path) &&
                m_platform.messageBox(m_owner, replacePrompt(path),
                                      Platform::YesNo | Platform::Exclamation |
                                          kSecondButtonDefault,
                                      kTitle) != Platform::Yes) {
                start = path;
                continue;
            }
        }
        remember(use, list, path);
        return true;
    }
}
