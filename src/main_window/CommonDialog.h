#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

class Platform;
class QWidget;

// The window's file dialog `dlg`, used by the data file, list file and result file commands.
//
// Each command remembers the name last chosen in its own dialog (the data file's open, each
// condition list's load and its save, the result save, the condition set's load and its save); only
// the folder is shared, and it is kept in the settings file between runs. A save dialog never
// proposes a file that was chosen to be read: neither the data file nor a name chosen in an open
// dialog. The result save, until a name is chosen for the loaded data file's results, proposes a
// new one beside the data file:
// "<data>_抽出.csv". A name chosen without an extension gets the chosen filter's.
class CommonDialog {
public:
    // Flag: ask before replacing an existing file in the save dialog.
    static constexpr int OverwritePrompt = 2;

    // The commands that use the dialog, each with a name of its own.
    enum class Use { DataOpen, ListLoad, ListSave, ResultSave, SetLoad, SetSave };

    CommonDialog(Platform& platform, QWidget* owner) : m_platform(platform), m_owner(owner) {}

    // Filter as description|pattern pairs: "*.csv;*.txt|*.csv;*.txt|全ファイル|*.*|".
    QString Filter;
    int Flags = 0;
    // The name chosen last, in whichever dialog.
    QString FileName;

    // Show the open or save dialog for use (list: the condition list's number, for the list
    // commands). false when the user cancelled; FileName is then unchanged.
    bool ShowOpen(Use use, int list = 0);
    bool ShowSave(Use use, int list = 0);

    // A data file given without the dialog (dropped, or named at start-up): remembered as if
    // chosen in the data file's open dialog. FileName becomes its absolute path.
    void dataFileGiven(const QString& path);

    // The filter in Qt's form: "*.csv;*.txt (*.csv *.txt);;全ファイル (*)"; an entry shown as its
    // one pattern stays that pattern: "*.csv|*.csv|" gives "*.csv".
    static QString toQtFilter(const QString& filter);
    // The extension a filter entry in Qt's form gives a name typed without one: "*.csv" and
    // "テキスト (*.txt *.csv)" give "csv", "全ファイル (*)" gives nothing.
    static QString filterExtension(const QString& entry);
    // The question asked before a name given an extension replaces an existing file.
    static QString replacePrompt(const QString& path);

private:
    // The folder the dialogs share: that of the name chosen last, or from the settings file.
    QString folder();
    // The name a dialog for use opens with (a folder when there is no name to propose).
    QString proposal(Use use, int list);
    // A name beside the data file that names no existing file: "<data>_抽出.csv",
    // "<data>_抽出_2.csv".
    QString newResultName() const;
    void remember(Use use, int list, const QString& path);
    // Whether path was chosen to be read (the data file included).
    bool chosenToRead(const QString& path) const;
    // name, unless it lies in a system folder.
    static QString startName(const QString& name);

    Platform& m_platform;
    QWidget* m_owner;
    QHash<int, QString> m_names; // by use and list
    QStringList m_read;          // every name chosen to be read since start-up
    QString m_dataFile;
    std::optional<QString> m_folder; // read from the settings file when first needed
};
