#pragma once

#include <QString>

class Platform;
class QWidget;

// The window's one file dialog `dlg`, shared by the data file, list file and result file commands.
// It keeps the file name chosen last, so every dialog opens with it.
class CommonDialog {
public:
    // Flag: ask before replacing an existing file in the save dialog.
    static constexpr int OverwritePrompt = 2;

    CommonDialog(Platform& platform, QWidget* owner) : m_platform(platform), m_owner(owner) {}

    // Filter as description|pattern pairs: "*.csv;*.txt|*.csv;*.txt|全ファイル|*.*|".
    QString Filter;
    int Flags = 0;
    // The last chosen file name; the dialogs open with it.
    QString FileName;

    // Show the open or save dialog. false when the user cancelled; FileName is then unchanged.
    bool ShowOpen();
    bool ShowSave();

    // The filter in Qt's form: "*.csv;*.txt (*.csv *.txt);;全ファイル (*)"; an entry shown as its
    // one pattern stays that pattern: "*.csv|*.csv|" gives "*.csv".
    static QString toQtFilter(const QString& filter);

private:
    // The name the dialog opens with: FileName, unless it lies in a system folder.
    QString startName() const;

    Platform& m_platform;
    QWidget* m_owner;
};
