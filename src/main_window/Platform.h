#pragma once

#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class QWidget;
class QPagedPaintDevice;

// Everything through which the window asks the user or reaches the desktop: message boxes, file
// dialogs, the clipboard, the default printer, document opening and the beep. The window gets the
// Qt one (QtPlatform); tests get a scripted one and check the exact prompts, styles and titles.
class Platform {
public:
    // Answers of a message box, by the numbers the window's logic compares with.
    enum Answer { OK = 1, Cancel = 2, Yes = 6, No = 7 };

    // Message-box styles the window uses (icon + buttons + default button, added up):
    // 0 OK only, 16 stop icon + OK, 36 question icon + Yes/No with Yes the default,
    // 48 exclamation icon + OK.
    enum Style { OkOnly = 0, Critical = 16, YesNo = 4, Question = 32, Exclamation = 48 };
    // A yes/no question (Yes the default): the style of every question the program asks.
    static constexpr int YesNoQuestion = Question + YesNo;

    virtual ~Platform() = default;

    // Shows a modal message box and returns the answer.
    virtual int messageBox(QWidget* parent, const QString& prompt, int style,
                           const QString& title) = 0;

    // File dialogs. filter is in Qt's form ("Text (*.csv *.txt);;All (*)"); fileName is the name
    // the dialog opens with. Cancel gives std::nullopt.
    virtual std::optional<QString> openFileName(QWidget* parent, const QString& filter,
                                                const QString& fileName) = 0;
    // confirmOverwrite: ask before replacing an existing file (answering no returns to the dialog).
    // selectedFilter, when given, receives the filter entry chosen in the dialog.
    virtual std::optional<QString> saveFileName(QWidget* parent, const QString& filter,
                                                const QString& fileName, bool confirmOverwrite,
                                                QString* selectedFilter) = 0;

    // Replaces the clipboard's content with plain text.
    virtual void setClipboardText(const QString& text) = 0;

    // Opens a document or address with the desktop's associated program; false when that failed.
    virtual bool openUrl(const QUrl& url) = 0;

    // The default printer, ready to paint on, or nullptr with the reason in *reason.
    virtual std::unique_ptr<QPagedPaintDevice> defaultPrinter(QString* reason) = 0;

    // The system beep.
    virtual void beep() = 0;
};
