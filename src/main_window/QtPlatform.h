#pragma once

#include "main_window/Platform.h"

// The real desktop: QMessageBox, QFileDialog, QClipboard, QDesktopServices, QPrinter.
class QtPlatform : public Platform {
public:
    int messageBox(QWidget* parent, const QString& prompt, int style,
                   const QString& title) override;
    std::optional<QString> openFileName(QWidget* parent, const QString& filter,
                                        const QString& fileName) override;
    std::optional<QString> saveFileName(QWidget* parent, const QString& filter,
                                        const QString& fileName, bool confirmOverwrite,
                                        QString* selectedFilter) override;
    void setClipboardText(const QString& text) override;
    bool openUrl(const QUrl& url) override;
    std::unique_ptr<QPagedPaintDevice> defaultPrinter(QString* reason) override;
    void beep() override;
};
