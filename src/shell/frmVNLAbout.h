#pragma once

#include <QDialog>
#include <QString>

class Platform;
class QGroupBox;
class QLabel;
class QPushButton;

// The About dialog: the version, a comment line, the rights notice, and two buttons that open the
// author's web page and a new mail to the author. Modal; closed by its close button or the close
// box.
class frmVNLAbout : public QDialog {
    Q_OBJECT
public:
    frmVNLAbout(Platform& platform, QWidget* parent = nullptr);

    // The addresses shown on the two buttons.
    static QString homepageAddress();
    static QString mailAddress();

    // Shows the rights notice whole: on its line, in a smaller font where the line is too narrow
    // for it (down to 7 points), otherwise wrapped over the space between the version line and
    // the mail button.
    void setCopyright(const QString& notice);

    QGroupBox* fraSoftZyoho = nullptr;
    QLabel* picIcon = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblKomento = nullptr;
    QLabel* lblCopyright = nullptr;
    QPushButton* cmdMyHomepage = nullptr;
    QPushButton* cmdMyMail = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    void Form_Load();
    void cmdMyHomepage_Click();
    void cmdMyMail_Click();
    void cmdClose_Click();
    void myHomepageOpen(const QString& address);
    void myMailOpen(const QString& address);

    Platform& m_platform;
};
