#include "main_window/QtPlatform.h"

#include "main_window/CommonDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrinter>
#include <QPrinterInfo>

int QtPlatform::messageBox(QWidget* parent, const QString& prompt, int style,
                           const QString& title) {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    // Prompts break lines with CR LF or a lone CR, as the message texts are written; the label
    // breaks only at LF.
    QString shown = prompt;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    box.setText(shown);
    switch (style & 0x70) {
    case Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case 64:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    if ((style & 0x0F) == YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        // 0x100 chooses the second button as the default; otherwise the first (Yes).
        box.setDefaultButton((style & 0x100) ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int clicked = box.exec();
    switch (clicked) {
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    case QMessageBox::Ok:
        return OK;
    default:
        return (style & 0x0F) == YesNo ? No : OK;
    }
}

std::optional<QString> QtPlatform::openFileName(QWidget* parent, const QString& filter,
                                                const QString& fileName) {
    const QString path = QFileDialog::getOpenFileName(parent, QString(), fileName, filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> QtPlatform::saveFileName(QWidget* parent, const QString& filter,
                                                const QString& fileName, bool confirmOverwrite,
                                                QString* selectedFilter) {
    QFileDialog dialog(parent, QString(), fileName, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Qt's own dialog adds the chosen filter's extension to a name typed without one before it
    // asks about replacing a file, so the question concerns the file that will be written.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirmOverwrite);
    const auto followFilter = [&dialog](const QString& entry) {
        dialog.setDefaultSuffix(CommonDialog::filterExtension(entry));
    };
    followFilter(dialog.selectedNameFilter());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followFilter);
    if (!fileName.isEmpty() && !QFileInfo(fileName).isDir())
        dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    if (selectedFilter)
        *selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().constFirst();
}

void QtPlatform::setClipboardText(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

bool QtPlatform::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

std::unique_ptr<QPagedPaintDevice> QtPlatform::defaultPrinter(QString* reason) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        if (reason)
            *reason = QStringLiteral("通常使うプリンターが設定されていません。");
        return nullptr;
    }
    auto printer = std::make_unique<QPrinter>(info, QPrinter::ScreenResolution);
    if (!printer->isValid()) {
        if (reason)
            *reason = QStringLiteral("プリンター「%1」を使えません。").arg(info.printerName());
        return nullptr;
    }
    return printer;
}

void QtPlatform::beep() {
    QApplication::beep();
}
