// The list view over more rows than a per-row layout could hold: two thousand million of them,
// shown, scrolled, selected and navigated with nothing kept per row.
#include "main_window/ListView.h"
#include "results/ResultSelection.h"

#include <QAbstractTableModel>
#include <QFile>
#include <QScrollBar>
#include <QTest>

#include <optional>

namespace {

constexpr int kRows = 2'000'000'000;

// Rows that exist only as arithmetic: row r, column c reads "r:c".
class CountingModel : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 2;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        return QStringLiteral("%1:%2").arg(index.row()).arg(index.column());
    }
    void setRows(int rows) {
        beginResetModel();
        m_rows = rows;
        endResetModel();
    }

private:
    int m_rows = kRows;
};

// The resident size in MB, from the kernel's own account.
std::optional<double> residentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return std::nullopt;
}

qint64 selectedRows(const ListView& view) {
    return ResultSelection::rowCount(ResultSelection::normalised(
        ResultSelection::fromSelection(view.selectionModel()->selection()), kRows));
}

QPoint rowCentre(const ListView& view, int row) {
    return view.visualRect(view.model()->index(row, 0)).center();
}

struct Fixture {
    CountingModel model;
    ListView view;
    Fixture() {
        view.setSelectionMode(QAbstractItemView::ExtendedSelection);
        view.setModel(&model);
        view.resize(400, 300);
        view.show();
        view.setFocus();
    }
    int last() const { return model.rowCount() - 1; }
};

} // namespace

class TestGuiListView : public QObject {
    Q_OBJECT
private slots:
    void hugeListCostsNothingPerRow();
    void keysAtTheEnd_data();
    void keysAtTheEnd();
    void shiftClickReachesAcrossTheList();
    void controlClickToggles();
};

void TestGuiListView::hugeListCostsNothingPerRow() {
    const std::optional<double> before = residentMb();
    Fixture f;
    QVERIFY(QTest::qWaitForWindowExposed(&f.view));
    QCOMPARE(f.view.rowAt(0), 0);
    // To the end: the last row is on screen, and found again at its place.
    f.view.scrollToBottom();
    const QModelIndex last = f.model.index(f.last(), 1);
    const QRect place = f.view.visualRect(last);
    QVERIFY(f.view.viewport()->rect().contains(place));
    QCOMPARE(f.view.indexAt(place.center()), last);
    QCOMPARE(f.view.rowAt(place.bottom() + 1), -1);
    QCOMPARE(f.view.verticalScrollBar()->maximum(),
             kRows - f.view.viewport()->height() / f.view.rowHeight());
    f.view.viewport()->grab(); // paints the rows at the end
    // Select all is one range over every row.
    f.view.selectAll();
    QCOMPARE(selectedRows(f.view), qint64(kRows));
    // Typing a letter does not search through the rows.
    const QModelIndex current = f.view.currentIndex();
    QTest::keyClicks(&f.view, QStringLiteral("zq"));
    QCOMPARE(f.view.currentIndex(), current);
    QCOMPARE(f.view.selectionModel()->selection().size(), 1);
    // A reset to fewer rows and back is as cheap; the selection goes with it.
    f.model.setRows(3);
    QCOMPARE(f.view.verticalScrollBar()->maximum(), 0);
    QVERIFY(!f.view.selectionModel()->hasSelection());
    f.model.setRows(kRows);
    f.view.scrollToBottom();
    QCOMPARE(f.view.rowAt(place.center().y()), f.last());
    const std::optional<double> after = residentMb();
    QVERIFY(before && after);
    QVERIFY2(*after - *before < 64, qPrintable(QStringLiteral("grew %1 MB").arg(*after - *before)));
}

void TestGuiListView::keysAtTheEnd_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("currentFromEnd"); // rows before the last; -1: one page
    QTest::addColumn<qint64>("selected");    // -1: one page and the row it started from
    QTest::newRow("Down stays on the last row") << int(Qt::Key_Down) << 0 << 0 << qint64(1);
    QTest::newRow("Up") << int(Qt::Key_Up) << 0 << 1 << qint64(1);
    QTest::newRow("Shift+Up extends")
        << int(Qt::Key_Up) << int(Qt::ShiftModifier) << 1 << qint64(2);
    QTest::newRow("Shift+PageUp extends a page")
        << int(Qt::Key_PageUp) << int(Qt::ShiftModifier) << -1 << qint64(-1);
    QTest::newRow("Ctrl+Home moves only the current row")
        << int(Qt::Key_Home) << int(Qt::ControlModifier) << kRows - 1 << qint64(1);
}

void TestGuiListView::keysAtTheEnd() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, currentFromEnd);
    QFETCH(qint64, selected);
    Fixture f;
    // Ctrl+End: the current row is the last, far below where the list began.
    f.view.setCurrentIndex(f.model.index(0, 0));
    QTest::keyClick(&f.view, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(f.view.currentIndex().row(), f.last());
    QVERIFY(f.view.viewport()->rect().contains(rowCentre(f.view, f.last())));
    f.view.selectionModel()->select(f.view.currentIndex(), QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
    QTest::keyClick(&f.view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    const int page = f.view.viewport()->height() / f.view.rowHeight();
    const int expectedFromEnd = currentFromEnd >= 0 ? currentFromEnd : page;
    QCOMPARE(f.view.currentIndex().row(), f.last() - expectedFromEnd);
    QCOMPARE(selectedRows(f.view), selected >= 0 ? selected : qint64(page) + 1);
    // The current row is kept in view.
    QVERIFY(f.view.viewport()->rect().contains(rowCentre(f.view, f.view.currentIndex().row())));
}

void TestGuiListView::shiftClickReachesAcrossTheList() {
    Fixture f;
    QTest::mouseClick(f.view.viewport(), Qt::LeftButton, {}, rowCentre(f.view, 5));
    QCOMPARE(f.view.currentIndex().row(), 5);
    // Two thousand million rows down: no pixel position could span this.
    f.view.scrollToBottom();
    QTest::mouseClick(f.view.viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      rowCentre(f.view, f.last()));
    QCOMPARE(f.view.currentIndex().row(), f.last());
    const std::vector<RowRange> rows = ResultSelection::normalised(
        ResultSelection::fromSelection(f.view.selectionModel()->selection()), kRows);
    QCOMPARE(rows, (std::vector<RowRange>{{5, f.last()}}));
    // Shift+Down at the end changes nothing; Shift+Up gives back the last row.
    QTest::keyClick(&f.view, Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(selectedRows(f.view), qint64(f.last() - 1 - 5 + 1));
}

void TestGuiListView::controlClickToggles() {
    Fixture f;
    f.view.scrollToBottom();
    const int a = f.last() - 3;
    const int b = f.last();
    QTest::mouseClick(f.view.viewport(), Qt::LeftButton, {}, rowCentre(f.view, a));
    QTest::mouseClick(f.view.viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(f.view, b));
    QCOMPARE(selectedRows(f.view), qint64(2));
    QVERIFY(f.view.selectionModel()->isSelected(f.model.index(b, 1)));
    QTest::mouseClick(f.view.viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(f.view, b));
    QCOMPARE(selectedRows(f.view), qint64(1));
    QVERIFY(f.view.selectionModel()->isSelected(f.model.index(a, 0)));
}

QTEST_MAIN(TestGuiListView)
#include "tst_gui_listview.moc"
