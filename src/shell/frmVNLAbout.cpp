#include "shell/frmVNLAbout.h"

#include "main_window/Icons.h"
#include "main_window/Platform.h"
#include "main_window/Twips.h"
#include "shell/VersionText.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace {

// Button captions show an "&" as itself, not as an access key.
QString caption(QString text) {
    return text.replace(u'&', QStringLiteral("&&"));
}

} // namespace

frmVNLAbout::frmVNLAbout(Platform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_platform(platform) {
    setObjectName(QStringLiteral("frmVNLAbout"));
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setModal(true);
    setFixedSize(twips(4095), twips(3150));

    fraSoftZyoho = new QGroupBox(this);
    fraSoftZyoho->setObjectName(QStringLiteral("fraSoftZyoho"));
    fraSoftZyoho->setGeometry(twipsRect(120, 0, 3855, 3015));

    // The icon stands in the frame's top corner, above the version line.
    picIcon = new QLabel(fraSoftZyoho);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(twipsRect(120, 180, 240, 240));
    picIcon->setPixmap(Icons::windowPixmap(16));

    auto label = [this](const QString& name, int top) {
        auto* l = new QLabel(fraSoftZyoho);
        l->setObjectName(name);
        l->setTextFormat(Qt::PlainText);
        l->setAlignment(Qt::AlignCenter);
        l->setGeometry(twipsRect(120, top, 3615, 255));
        return l;
    };
    auto button = [this](const QString& name, const QRect& place) {
        auto* b = new QPushButton(fraSoftZyoho);
        b->setObjectName(name);
        b->setAutoDefault(false);
        b->setGeometry(place);
        return b;
    };

    lblVersion = label(QStringLiteral("lblVersion"), 480);
    lblCopyright = label(QStringLiteral("lblCopyright"), 960);
    setCopyright(QStringLiteral(VORNEL_COPYRIGHT));
    cmdMyMail = button(QStringLiteral("cmdMyMail"), twipsRect(240, 1320, 3375, 255));
    cmdMyMail->setText(caption(mailAddress()));
    cmdMyHomepage = button(QStringLiteral("cmdMyHomepage"), twipsRect(240, 1800, 3375, 255));
    cmdMyHomepage->setText(caption(homepageAddress()));
    lblKomento = label(QStringLiteral("lblKomento"), 2160);
    lblKomento->setText(QStringLiteral("このソフトは、フリーソフトです"));
    cmdClose = button(QStringLiteral("cmdClose"), twipsRect(1200, 2520, 1455, 375));
    cmdClose->setText(QStringLiteral("閉じる(&C)"));
    cmdClose->setDefault(true);

    connect(cmdMyHomepage, &QPushButton::clicked, this, &frmVNLAbout::cmdMyHomepage_Click);
    connect(cmdMyMail, &QPushButton::clicked, this, &frmVNLAbout::cmdMyMail_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmVNLAbout::cmdClose_Click);

    Form_Load();
}

QString frmVNLAbout::homepageAddress() {
    return QStringLiteral(VORNEL_HOMEPAGE);
}

QString frmVNLAbout::mailAddress() {
    return QStringLiteral(VORNEL_MAIL);
}

void frmVNLAbout::setCopyright(const QString& notice) {
    lblCopyright->setText(notice);
    lblCopyright->setFont(QFont());
    lblCopyright->setWordWrap(false);
    lblCopyright->setGeometry(twipsRect(120, 960, 3615, 255));
    const QFont designed = lblCopyright->font();
    const qreal designedSize = designed.pointSizeF() > 0 ? designed.pointSizeF() : 9;
    const int width = lblCopyright->contentsRect().width();
    // Largest font first: on its line, and where it is too long for that, wrapped below the
    // version line (top 480, 255 high) and above the mail button (top 1320).
    const QRect wrapPlace = twipsRect(120, 750, 3615, 555);
    for (const bool wrap : {false, true}) {
        for (qreal size = designedSize; size >= 7; size -= 0.5) {
            QFont font = designed;
            font.setPointSizeF(size);
            const QFontMetrics metrics(font);
            const bool fits =
                wrap ? wrapPlace.height() >=
                           metrics.boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, notice)
                               .height()
                     : metrics.horizontalAdvance(notice) <= width;
            if (fits || (wrap && size - 0.5 < 7)) {
                if (size != designedSize)
                    lblCopyright->setFont(font);
                if (wrap) {
                    lblCopyright->setWordWrap(true);
                    lblCopyright->setGeometry(wrapPlace);
                }
                return;
            }
        }
    }
}

void frmVNLAbout::Form_Load() {
    lblVersion->setText(ProgramVersionText());
}

void frmVNLAbout::cmdMyHomepage_Click() {
    myHomepageOpen(homepageAddress());
}

void frmVNLAbout::cmdMyMail_Click() {
    myMailOpen(mailAddress());
}

void frmVNLAbout::cmdClose_Click() {
    accept();
}

void frmVNLAbout::myHomepageOpen(const QString& address) {
    // A failure to open the page is not reported.
    m_platform.openUrl(QUrl(address));
}

void frmVNLAbout::myMailOpen(const QString& address) {
    m_platform.openUrl(QUrl(QStringLiteral("mailto:") + address));
}
