#pragma once

// "この行の判定": a read-only window that shows why a row is picked or not (RowVerdictText's
// explanation). Esc or "閉じる" closes it.

#include <QDialog>

class QPlainTextEdit;

class frmVNLJudge : public QDialog {
    Q_OBJECT
public:
    frmVNLJudge(const QString& explanation, QWidget* parent = nullptr);

    QString text() const;

private:
    QPlainTextEdit* txtJudge = nullptr;
};
