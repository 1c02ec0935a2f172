#pragma once

#include "main_window/Platform.h"

#include <QList>
#include <QPagedPaintDevice>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// A Platform for tests: records every question the window asks and answers from a script.
class ScriptedPlatform : public Platform {
public:
    struct Message {
        QString prompt;
        int style = 0;
        QString title;
    };
    struct FileDialog {
        QString filter; // in Qt's form
        QString fileName;
        bool confirmOverwrite = false;
    };

    // Message boxes: every one is recorded; the answer is the next of `answers`, or, when that is
    // empty, onMessage's, or else OK (Yes for a Yes/No question).
    QList<Message> messages;
    QList<int> answers;
    std::function<int(const Message&)> onMessage;

    // File dialogs: recorded; answered from the queues (std::nullopt = Cancel; empty queue =
    // Cancel).
    QList<FileDialog> openDialogs;
    QList<FileDialog> saveDialogs;
    QList<std::optional<QString>> openAnswers;
    QList<std::optional<QString>> saveAnswers;
    // The filter entry chosen with each save answer (in Qt's form); none given: the first entry.
    QList<QString> saveFilterAnswers;

    // Clipboard.
    QString clipboard = QStringLiteral("(untouched)");
    int clipboardWrites = 0;

    // Document opening.
    QList<QUrl> openedUrls;
    bool openUrlSucceeds = true;

    // Printing: a factory for the device the window paints on; none = "no printer".
    std::function<std::unique_ptr<QPagedPaintDevice>(QString*)> printerFactory;

    int beeps = 0;

    int messageBox(QWidget*, const QString& prompt, int style, const QString& title) override {
        const Message m{prompt, style, title};
        messages.append(m);
        if (!answers.isEmpty())
            return answers.takeFirst();
        if (onMessage)
            return onMessage(m);
        return (style & 0x0F) == YesNo ? Yes : OK;
    }

    std::optional<QString> openFileName(QWidget*, const QString& filter,
                                        const QString& fileName) override {
        openDialogs.append({filter, fileName, false});
        return openAnswers.isEmpty() ? std::nullopt : openAnswers.takeFirst();
    }

    std::optional<QString> saveFileName(QWidget*, const QString& filter, const QString& fileName,
                                        bool confirmOverwrite, QString* selectedFilter) override {
        saveDialogs.append({filter, fileName, confirmOverwrite});
        if (saveAnswers.isEmpty())
            return std::nullopt;
        const QString chosenFilter = saveFilterAnswers.isEmpty()
                                         ? filter.section(QStringLiteral(";;"), 0, 0)
                                         : saveFilterAnswers.takeFirst();
        if (selectedFilter)
            *selectedFilter = chosenFilter;
        return saveAnswers.takeFirst();
    }

    void setClipboardText(const QString& text) override {
        clipboard = text;
        ++clipboardWrites;
    }

    bool openUrl(const QUrl& url) override {
        openedUrls.append(url);
        return openUrlSucceeds;
    }

    std::unique_ptr<QPagedPaintDevice> defaultPrinter(QString* reason) override {
        if (printerFactory)
            return printerFactory(reason);
        if (reason)
            *reason = QStringLiteral("no printer in this test");
        return nullptr;
    }

    void beep() override { ++beeps; }
};
