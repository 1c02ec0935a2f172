#include "source/frmVNLError.h"

#include "main_window/MousePointer.h"
#include "main_window/Platform.h"
#include "main_window/Twips.h"
#include "source/RowStore.h"
#include "source/mdlvornel.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <limits>

namespace {

// The height the third button's row adds to the dialog (twips, as the whole layout).
constexpr int kStopRow = 480;

} // namespace

frmVNLError::frmVNLError(RowStore& store, Platform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_store(store), m_platform(platform) {
    setObjectName(QStringLiteral("frmVNLError"));
    setWindowTitle(QStringLiteral("データエラー"));
    QFont f = font();
    f.setPointSize(9);
    setFont(f);
    // One row more than the two buttons' row, for 読込中止 under スキップ.
    setFixedSize(twips(6990), twips(2175 + kStopRow));
    setSizeGripEnabled(false);
    setModal(true);

    auto label = [this](const char* name, const QString& text, QRect place) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        l->setGeometry(place);
        return l;
    };
    Label1 = label("Label1", QStringLiteral("正しくないデータが見つかりました。"),
                   twipsRect(240, 120, 6375, 255));
    lblErrorFile = label("lblErrorFile", QStringLiteral("ﾌｧｲﾙ名:"), twipsRect(240, 480, 6375, 255));
    // The line number and, beside it, why the line does not fit.
    lblErrorRow = label("lblErrorRow", QStringLiteral("行 番号:"), twipsRect(240, 720, 3135, 255));
    lblErrorReason = label("lblErrorReason", QString(), twipsRect(3600, 720, 3015, 255));

    txtData = new QLineEdit(this);
    txtData->setObjectName(QStringLiteral("txtData"));
    txtData->setGeometry(twipsRect(240, 1080, 6495, 270));
    txtData->setMaxLength(std::numeric_limits<int>::max());

    auto button = [this](const char* name, const QString& caption, QRect place) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(place);
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    };
    cmdOk = button("cmdOk", QStringLiteral("修正(&C)"), twipsRect(240, 1560, 3135, 375));
    cmdCancel =
        button("cmdCancel", QStringLiteral("スキップ(&S)"), twipsRect(3600, 1560, 3135, 375));
    cmdStop = button("cmdStop", QStringLiteral("読込中止(&E)"),
                     twipsRect(3600, 1560 + kStopRow, 3135, 375));
    cmdStop->setToolTip(QStringLiteral("ファイルの読み込みを中止します"));
    cmdSkipAll = button("cmdSkipAll", QStringLiteral("以降すべてスキップ(&A)"),
                        twipsRect(240, 1560 + kStopRow, 3135, 375));
    cmdSkipAll->setToolTip(
        QStringLiteral("この行と、この読み込みで以降に見つかる正しくない行をすべてスキップします"));

    // Tab order: the text box, Correct, Skip, Skip all, Stop loading (the labels take no focus).
    setTabOrder(txtData, cmdOk);
    setTabOrder(cmdOk, cmdCancel);
    setTabOrder(cmdCancel, cmdSkipAll);
    setTabOrder(cmdSkipAll, cmdStop);
    txtData->setFocus();

    connect(cmdOk, &QPushButton::clicked, this, &frmVNLError::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmVNLError::cmdCancel_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmVNLError::cmdStop_Click);
    connect(cmdSkipAll, &QPushButton::clicked, this, &frmVNLError::cmdSkipAll_Click);

    MousePointer::set(MousePointer::Default);
}

void frmVNLError::setErrorLine(const QString& line, const QString& fileName, qint64 lineNumber) {
    if (line.size() > MaxWholeLine) {
        setLongErrorLine(line.first(ShownPart + 1), fileName, lineNumber);
        return;
    }
    m_lineCut = false;
    txtData->setReadOnly(false);
    txtData->setToolTip(QString());
    cmdOk->setEnabled(true);
    txtData->setText(line);
    txtData->setCursorPosition(0);
    lblErrorFile->setText(QStringLiteral("ﾌｧｲﾙ名: ") + fileName);
    lblErrorRow->setText(QStringLiteral("行 番号: ") + QString::number(lineNumber));
    lblErrorReason->setText(mdlvornel::MisfitReason(line, m_store.commaCount(), m_store.fieldMode()));
}

void frmVNLError::setLongErrorLine(const QString& start, const QString& fileName,
                                   qint64 lineNumber) {
    QStringView shown = QStringView(start).first(std::min(start.size(), ShownPart));
    if (!shown.isEmpty() && shown.back().isHighSurrogate())
        shown.chop(1); // never half a character
    m_lineCut = true;
    txtData->setText(
        QStringLiteral("【長すぎる行のため先頭 %1 文字のみ表示・修正不可】").arg(ShownPart) +
        shown.toString() + QStringLiteral("…"));
    txtData->setCursorPosition(0);
    txtData->setReadOnly(true);
    txtData->setToolTip(QStringLiteral("この行は長すぎるため、先頭の %1 文字だけを表示しています。"
                                       "修正はできません。スキップするか、読み込みを中止して"
                                       "ください。")
                            .arg(ShownPart));
    cmdOk->setEnabled(false);
    lblErrorFile->setText(QStringLiteral("ﾌｧｲﾙ名: ") + fileName);
    lblErrorRow->setText(QStringLiteral("行 番号: ") + QString::number(lineNumber));
}

void frmVNLError::cmdOk_Click() {
    // Only the start of a long line is shown: taking it as the correction would cut the line.
    if (m_lineCut || !mdlvornel::AddCorrectedLine(*this, m_store, m_platform))
        return; // refused: the dialog stays as it is
    m_corrected = true;
    MousePointer::set(MousePointer::Hourglass);
    m_closing = true;
    accept();
}

void frmVNLError::cmdCancel_Click() {
    MousePointer::set(MousePointer::Hourglass);
    m_closing = true;
    reject();
}

void frmVNLError::cmdStop_Click() {
    // The load ends as Stop ends it; the loader empties the table.
    m_stopRequested = true;
    MousePointer::set(MousePointer::Hourglass);
    m_closing = true;
    reject();
}

void frmVNLError::cmdSkipAll_Click() {
    m_skipAllRequested = true;
    MousePointer::set(MousePointer::Hourglass);
    m_closing = true;
    reject();
}

void frmVNLError::setVisible(bool visible) {
    QDialog::setVisible(visible);
    if (visible) {
        txtData->deselect();
        txtData->setCursorPosition(0);
    }
}

void frmVNLError::keyPressEvent(QKeyEvent* event) {
    // Neither button is the default or the cancel button: Enter and Esc do nothing.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void frmVNLError::closeEvent(QCloseEvent* event) {
    // The window's close button counts as Skip.
    if (!m_closing) {
        MousePointer::set(MousePointer::Hourglass);
        m_closing = true;
    }
    QDialog::closeEvent(event);
}

void frmVNLError::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    txtData->setFocus();
}

namespace mdlvornel {

bool AddDataLine(QByteArrayView line, const QString& fileName, qint64 lineNumber, RowStore& store,
                 Platform& platform) {
    return AddDataLineOutcome(line, fileName, lineNumber, store, platform) != DataLineOutcome::Stop;
}

DataLineOutcome AddDataLineOutcome(QByteArrayView line, const QString& fileName, qint64 lineNumber,
                                   RowStore& store, Platform& platform) {
    if (AppendIfFits(line, store))
        return DataLineOutcome::Added;
    // A new dialog for every rejected line, without an owner window; nothing is carried over.
    frmVNLError dialog(store, platform);
    if (line.size() <= frmVNLError::MaxWholeLine) {
        dialog.setErrorLine(store.decode(line), fileName, lineNumber);
    } else {
        // Only the start is decoded: four bytes per character at most, so enough for the part
        // shown; the character cut at the end falls outside it.
        const qsizetype bytes = 4 * (frmVNLError::ShownPart + 1);
        dialog.setLongErrorLine(store.decode(line.first(std::min(line.size(), bytes))), fileName,
                                lineNumber);
    }
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.exec();
    if (dialog.stopRequested())
        return DataLineOutcome::Stop;
    if (dialog.skipAllRequested())
        return DataLineOutcome::SkipAll;
    return dialog.corrected() ? DataLineOutcome::Added : DataLineOutcome::Skipped;
}

bool AddCorrectedLine(frmVNLError& dialog, RowStore& store, Platform& platform) {
    const QString text = dialog.txtData->text();
    const TextAppend done = AppendTextIfFits(text, store);
    if (done.result != AppendResult::CannotEncode)
        return done.result == AppendResult::Appended;
    const qsizetype bad = done.badIndex;
    const qsizetype length =
        QChar::isHighSurrogate(text[bad].unicode()) && bad + 1 < text.size() ? 2 : 1;
    platform.messageBox(
        &dialog,
        QStringLiteral("文字「%1」はこのデータファイルの文字コード（%2）で"
                       "書けないため、修正できません。")
            .arg(text.sliced(bad, length), TextCodec::displayName(store.encoding())),
        16, QStringLiteral("エラー"));
    return false;
}

} // namespace mdlvornel
