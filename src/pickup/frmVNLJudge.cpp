// The window that explains one row's verdict.
#include "pickup/frmVNLJudge.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmVNLJudge::frmVNLJudge(const QString& explanation, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmVNLJudge"));
    setWindowTitle(QStringLiteral("この行の判定"));
    auto* layout = new QVBoxLayout(this);
    txtJudge = new QPlainTextEdit(this);
    txtJudge->setObjectName(QStringLiteral("txtJudge"));
    txtJudge->setReadOnly(true);
    txtJudge->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtJudge->setPlainText(explanation);
    layout->addWidget(txtJudge);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(560, 380);
}

QString frmVNLJudge::text() const {
    return txtJudge->toPlainText();
}
