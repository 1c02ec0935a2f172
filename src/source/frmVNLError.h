#pragma once

#include <QByteArrayView>
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class Platform;
class QPushButton;
class RowStore;

// The data-error dialog: shows a line of the data file that does not have the first line's
// number of fields, and lets the user skip it or correct it. A correction that fits is appended
// to the source table in the rejected line's place; one that does not fit is refused silently.
// There is no default or cancel button (Enter and Esc do nothing); the window's close button
// counts as Skip. A third button stops the whole load, so that a file that does not fit at all
// (a title line, a wrong file) does not hold the user in one dialog per line; a fourth skips this
// line and every later one of the load that does not fit. The dialog says why the line does not
// fit (how many columns it has against how many it should have).
class frmVNLError : public QDialog {
    Q_OBJECT
public:
    // Sets the mouse pointer to the normal arrow (the load runs under the hourglass). platform
    // shows the message about a correction the file's encoding cannot hold.
    frmVNLError(RowStore& store, Platform& platform, QWidget* parent = nullptr);

    // Fills the dialog for one rejected line (the file name without its folder, the physical
    // line number counted from 1). A line longer than MaxWholeLine is shown as setLongErrorLine
    // shows it.
    void setErrorLine(const QString& line, const QString& fileName, qint64 lineNumber);
    // Fills the dialog for a line too long to show and edit in a text box: only its first
    // ShownPart characters (start, cut to them) are shown, after a note saying so; the text box
    // is read-only and Correct is off, so the line can be skipped or the load stopped, but never
    // replaced by its cut start.
    void setLongErrorLine(const QString& start, const QString& fileName, qint64 lineNumber);
    // Whether the line shown is only the start of the rejected one.
    bool lineCut() const { return m_lineCut; }

    // The longest line shown whole (characters; a line of as many bytes is never longer), and
    // how much of a longer one is shown. A text box lays out all its text at once, tens of
    // bytes per character.
    static constexpr qsizetype MaxWholeLine = 128 * 1024;
    static constexpr qsizetype ShownPart = 4096;

    // True once a fitting correction has been appended.
    bool corrected() const { return m_corrected; }
    // True when the user chose to stop the load (読込中止).
    bool stopRequested() const { return m_stopRequested; }
    // True when the user chose to skip this and every later misfit line (以降すべてスキップ).
    bool skipAllRequested() const { return m_skipAllRequested; }

    // Correct (修正), Skip (スキップ), Stop loading (読込中止) and Skip all (以降すべてスキップ).
    void cmdOk_Click();
    void cmdCancel_Click();
    void cmdStop_Click();
    void cmdSkipAll_Click();

    QLabel* Label1 = nullptr;
    QLabel* lblErrorFile = nullptr;
    QLabel* lblErrorRow = nullptr;
    QLabel* lblErrorReason = nullptr;
    QLineEdit* txtData = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdStop = nullptr;
    QPushButton* cmdSkipAll = nullptr;

    // Opens with the cursor at the start of the line and nothing selected (Qt would select the
    // whole text on the first focus, and the first key typed would replace the line).
    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    RowStore& m_store;
    Platform& m_platform;
    bool m_corrected = false;
    bool m_stopRequested = false;
    bool m_skipAllRequested = false;
    bool m_closing = false;
    bool m_lineCut = false;
};

namespace mdlvornel {

// Adds one line of the data file (its bytes): a fitting line is appended to the store; any other
// line opens the data-error dialog (modal, without an owner) and returns after it has closed, the
// line then skipped or replaced by the user's correction. False when the user chose to stop the
// load there.
bool AddDataLine(QByteArrayView line, const QString& fileName, qint64 lineNumber, RowStore& store,
                 Platform& platform);

// The same, telling how the line was dealt with.
enum class DataLineOutcome {
    Added,   // it fitted, or the user's correction did
    Skipped, // スキップ (or the close button)
    SkipAll, // 以降すべてスキップ: this line and every later misfit of the load are skipped
    Stop,    // 読込中止
};
DataLineOutcome AddDataLineOutcome(QByteArrayView line, const QString& fileName, qint64 lineNumber,
                                   RowStore& store, Platform& platform);

// The Correct button's work: appends the dialog's text, in the file's encoding, when it fits.
// False: refused, the dialog stays open with the text (a text that does not fit silently; one
// holding a character the encoding cannot hold with a message naming it).
bool AddCorrectedLine(frmVNLError& dialog, RowStore& store, Platform& platform);

} // namespace mdlvornel
