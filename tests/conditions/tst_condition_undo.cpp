// The condition lists' undo history and the pasting of several lines as entries, without widgets:
// every kind of list edit is made on a plain state of the four lists, recorded, and taken back and
// done again step by step.
#include "conditions/ConditionListModel.h"
#include "conditions/ConditionPaste.h"
#include "conditions/ConditionUndoStack.h"
#include "conditions/TypedInput.h"

#include <QTest>


using Entries = std::vector<ConditionEntry>;
using Lines = std::vector<ConditionPaste::Line>;

Q_DECLARE_METATYPE(ConditionList)

namespace {

ConditionList listNamed(QStringView name) {
    for (ConditionList id : kConditionListOrder)
        if (name == QString(conditionListName(id)).remove(u' '))
            return id;
    qFatal("no such list");
}

// "3:abc,0:x" -> entries
Entries entriesOf(QStringView text) {
    Entries e;
    for (QStringView pair : text.tokenize(u',', Qt::SkipEmptyParts)) {
        const qsizetype colon = pair.indexOf(u':');
        e.push_back({pair.first(colon).toString(), pair.sliced(colon + 1).toString()});
    }
    return e;
}

QString describe(const ConditionsState& state) {
    QStringList lists;
    for (ConditionList id : kConditionListOrder) {
        const ConditionListState& l = state[size_t(id)];
        QStringList e;
        for (const ConditionEntry& entry : l.entries)
            e << entry.column + u':' + entry.phrase;
        lists << QStringLiteral("%1[%2] boxes(%3|%4)")
                     .arg(conditionListName(id), e.join(u','), l.boxes.column, l.boxes.phrase);
    }
    return lists.join(QStringLiteral("; "));
}

// One edit, as the window makes it, on the plain state. Returns the list it was made in. Edits:
//   add L c p      typed into L's boxes, then 追加 (a copy found in any list moves)
//   del L r        削除 of row r (1-based)
//   clear L        全削除
//   back L r       row r taken back into L's boxes
//   load L c:p,..  a list file's entries appended
//   paste L c p|p  several lines pasted into L's phrase box, each registered
//   set a/b/c/d    all four lists replaced (fixed order), a set of lists loaded at once
//   type L c p     typing into L's boxes only (no list edit)
// The state before the edit's own step is left in *typed (the boxes as typed).
ConditionList edit(ConditionsState& state, const QString& command, ConditionsState* typed) {
    const QStringList w = command.trimmed().split(u' ');
    const QString& verb = w[0];
    auto registerOne = [&state](ConditionList target, const ConditionEntry& entry) {
        for (ConditionList id : kConditionListOrder) {
            Entries& e = state[size_t(id)].entries;
            const auto at = std::find(e.begin(), e.end(), entry);
            if (at != e.end()) {
                e.erase(at);
                break;
            }
        }
        Entries& t = state[size_t(target)].entries;
        t.insert(t.begin(), entry);
    };
    if (verb == u"set") {
        *typed = state;
        const QStringList parts = command.trimmed().mid(4).split(u'/');
        for (ConditionList id : kConditionListOrder)
            state[size_t(id)].entries = entriesOf(parts[int(id)]);
        return ConditionList::InAND;
    }
    const ConditionList id = listNamed(w[1]);
    ConditionListState& l = state[size_t(id)];
    if (verb == u"add" || verb == u"type")
        l.boxes = {w[2], w[3]};
    *typed = state;
    if (verb == u"add") {
        registerOne(id, {w[2], w[3]});
        l.boxes = {};
    } else if (verb == u"del") {
        l.entries.erase(l.entries.begin() + (w[2].toInt() - 1));
    } else if (verb == u"clear") {
        l.entries.clear();
    } else if (verb == u"back") {
        const qsizetype row = w[2].toInt() - 1;
        l.boxes = {l.entries[size_t(row)].column, l.entries[size_t(row)].phrase};
        l.entries.erase(l.entries.begin() + row);
    } else if (verb == u"load") {
        const Entries loaded = entriesOf(w[2]);
        l.entries.insert(l.entries.end(), loaded.begin(), loaded.end());
    } else if (verb == u"paste") {
        for (const QString& phrase : w[3].split(u'|'))
            registerOne(id, {w[2], phrase});
        if (l.boxes.column.isEmpty())
            l.boxes.column = w[2];
    }
    return id;
}

// What an undo (redo) leads to: the lists as they were at `to`; the boxes that the step changed
// between `from` and `to` as at `to`, the other boxes as they are now (typed since, perhaps).
ConditionsState expectedAfter(const ConditionsState& now, const ConditionsState& from,
                              const ConditionsState& to) {
    ConditionsState expected = to;
    for (size_t i = 0; i < expected.size(); ++i)
        if (from[i].boxes == to[i].boxes)
            expected[i].boxes = now[i].boxes;
    return expected;
}

ConditionsState startState() {
    ConditionsState s;
    s[size_t(ConditionList::OutAND)].entries = entriesOf(u"0:除外,2:旧");
    s[size_t(ConditionList::OutOR)].entries = entriesOf(u"1:x");
    s[size_t(ConditionList::InAND)].entries = entriesOf(u"3:港区,3:新宿区,3:渋谷区");
    s[size_t(ConditionList::InOR)].entries = {};
    return s;
}

// One data row, its values in the columns' order.
template <typename... Values> void row(const char* name, const Values&... values) {
    (QTest::newRow(name) << ... << values);
}

} // namespace

class tst_condition_undo : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void newEditDropsRedo_data();
    void newEditDropsRedo();
    void limits_data();
    void limits();
    void laterEditOfAnotherListBlocksSharedStep();

    void pastedOverSelection_data();
    void pastedOverSelection();
    void nonEmptyLines_data();
    void nonEmptyLines();
    void registerLines_data();
    void registerLines();
    void skippedMessageNamesLines();
};

void tst_condition_undo::roundTrip_data() {
    QTest::addColumn<QString>("script");
    QTest::newRow("追加") << "add AND 3 目黒区";
    QTest::newRow("追加, moved from another list") << "add NOTOR 2 旧";
    QTest::newRow("追加, moved within the list") << "add AND 3 渋谷区";
    QTest::newRow("削除") << "del AND 2";
    QTest::newRow("全削除") << "clear AND";
    QTest::newRow("take back") << "back AND 1";
    QTest::newRow("take back twice") << "back AND 1; back AND 1";
    QTest::newRow("take back over typed text") << "type AND 5 typed; back AND 2";
    QTest::newRow("読込") << "load OR 0:a,1:b,0:a";
    QTest::newRow("paste") << "paste OR 2 a|b|c";
    QTest::newRow("paste moving entries") << "paste OR 3 港区|品川区|1";
    QTest::newRow("set of four lists") << "set 1:p//2:q,3:r/0:s";
    QTest::newRow("everything")
        << "add AND 3 目黒区; del NOTAND 1; clear NOTOR; back AND 2; load OR 0:a; "
           "paste OR 1 b|c; add OR 0 a; type AND 9 later; set //1:z/; add NOTAND 0 w";
}

void tst_condition_undo::roundTrip() {
    QFETCH(QString, script);
    ConditionUndoStack stack;
    ConditionsState state = startState();
    // Each step's lists as they were before and after it.
    std::vector<ConditionsState> befores;
    std::vector<ConditionsState> afters;
    std::vector<ConditionList> owners;
    for (const QString& command : script.split(u';')) {
        ConditionsState before;
        const ConditionList owner = edit(state, command, &before);
        if (command.trimmed().startsWith(u"type"))
            continue; // typing is no step
        QVERIFY2(stack.record(before, state), qPrintable(command));
        befores.push_back(before);
        afters.push_back(state);
        owners.push_back(owner);
    }

    // Back to the start, one step at a time, each through the list it was made in; and forward
    // again to the end.
    for (const bool undo : {true, false}) {
        for (size_t i = 0; i < owners.size(); ++i) {
            const size_t k = undo ? owners.size() - 1 - i : i;
            QVERIFY(undo ? stack.canUndo(owners[k]) : stack.canRedo(owners[k]));
            const std::optional<ConditionUndoStack::Change> change =
                undo ? stack.undo(owners[k]) : stack.redo(owners[k]);
            QVERIFY(change);
            const ConditionsState expected = undo ? expectedAfter(state, afters[k], befores[k])
                                                  : expectedAfter(state, befores[k], afters[k]);
            change->applyTo(state);
            QVERIFY2(
                state == expected,
                qPrintable(describe(state) + QStringLiteral("\n  expected ") + describe(expected)));
        }
        for (ConditionList id : kConditionListOrder) {
            QVERIFY(!(undo ? stack.canUndo(id) : stack.canRedo(id)));
            QVERIFY(!(undo ? stack.undo(id) : stack.redo(id)));
        }
    }
}

void tst_condition_undo::newEditDropsRedo_data() {
    QTest::addColumn<QString>("script");      // recorded, then all undone
    QTest::addColumn<QString>("newEdit");     // recorded after the undo
    QTest::addColumn<ConditionList>("lost");  // a list whose redo is gone
    QTest::addColumn<ConditionList>("other"); // another list...
    QTest::addColumn<bool>("otherRedo");      // ...and whether it can still redo
    row("same list", "del AND 1; del AND 1", "add AND 0 new", ConditionList::InAND,
        ConditionList::OutOR, false);
    row("other list keeps its redo", "clear NOTOR; del AND 1", "add AND 0 new",
        ConditionList::InAND, ConditionList::OutOR, true);
    row("step of two lists, edit in the other", "add AND 1 x", "load NOTOR 9:y",
        ConditionList::InAND, ConditionList::OutOR, false);
    row("set of four lists, edit in one", "set 1:p//2:q/0:s", "del AND 1", ConditionList::InOR,
        ConditionList::OutAND, false);
    row("a later step goes with the step it builds on", "add AND 1 x; load NOTOR 2:y",
        "add AND 0 new", ConditionList::InAND, ConditionList::OutOR, false);
}

void tst_condition_undo::newEditDropsRedo() {
    QFETCH(QString, script);
    QFETCH(QString, newEdit);
    QFETCH(ConditionList, lost);
    QFETCH(ConditionList, other);
    QFETCH(bool, otherRedo);
    ConditionUndoStack stack;
    ConditionsState state = startState();
    std::vector<ConditionList> owners;
    for (const QString& command : script.split(u';')) {
        ConditionsState before;
        owners.push_back(edit(state, command, &before));
        QVERIFY(stack.record(before, state));
    }
    for (auto owner = owners.rbegin(); owner != owners.rend(); ++owner)
        stack.undo(*owner)->applyTo(state);
    QVERIFY(stack.canRedo(lost));

    ConditionsState before;
    const ConditionList newOwner = edit(state, newEdit, &before);
    QVERIFY(stack.record(before, state));
    const ConditionsState afterNew = state;
    QVERIFY(!stack.canRedo(lost));
    QVERIFY(!stack.redo(lost));
    QCOMPARE(stack.canRedo(other), otherRedo);
    QCOMPARE(stack.redoCount(newOwner), qsizetype(0));
    // The new edit itself is undone next.
    QVERIFY(stack.canUndo(newOwner));
    stack.undo(newOwner)->applyTo(state);
    QVERIFY(state == before);
    QVERIFY(afterNew != before);
}

void tst_condition_undo::limits_data() {
    QTest::addColumn<int>("limit");    // steps per list
    QTest::addColumn<int>("budget");   // entries of all steps
    QTest::addColumn<int>("listSize"); // entries in AND before the deletes
    QTest::addColumn<int>("deletes");
    QTest::addColumn<int>("kept"); // steps that can still be undone
    row("below the limit", 5, 1000, 20, 3, 3);
    row("past the limit", 5, 1000, 20, 12, 5);
    row("limit of one", 1, 1000, 20, 4, 1);
    // Each delete holds the list before and after it: 5+7+9+11 fit in 40, 13 more do not.
    row("budget keeps the latest few", 100, 40, 10, 8, 4);
    row("latest alone over the budget", 100, 5, 10, 3, 1);
}

void tst_condition_undo::limits() {
    QFETCH(int, limit);
    QFETCH(int, budget);
    QFETCH(int, listSize);
    QFETCH(int, deletes);
    QFETCH(int, kept);
    ConditionUndoStack stack(limit, budget);
    ConditionsState state;
    for (int i = 0; i < listSize; ++i)
        state[size_t(ConditionList::InAND)].entries.push_back({"1", QString::number(i)});
    std::vector<ConditionsState> history{state};
    for (int i = 0; i < deletes; ++i) {
        ConditionsState before;
        edit(state, QStringLiteral("del AND 1"), &before);
        QVERIFY(stack.record(before, state));
        history.push_back(state);
    }
    QCOMPARE(stack.undoCount(ConditionList::InAND), qsizetype(kept));
    QVERIFY(kept == 1 || stack.entriesHeld() <= budget);
    for (int k = deletes; k > deletes - kept; --k) {
        stack.undo(ConditionList::InAND)->applyTo(state);
        QVERIFY(state == history[size_t(k - 1)]);
    }
    QVERIFY(!stack.canUndo(ConditionList::InAND));
}

void tst_condition_undo::laterEditOfAnotherListBlocksSharedStep() {
    // A registration into AND that moved 1:x out of NOT OR, then an edit of NOT OR alone: the move
    // can be undone only after that edit, which builds on it.
    ConditionUndoStack stack;
    ConditionsState state = startState();
    ConditionsState before;
    edit(state, QStringLiteral("add AND 1 x"), &before);
    const ConditionsState afterMove = state;
    QVERIFY(stack.record(before, state));
    edit(state, QStringLiteral("load NOTOR 2:y"), &before);
    QVERIFY(stack.record(before, state));

    QVERIFY(!stack.canUndo(ConditionList::InAND));
    QVERIFY(!stack.undo(ConditionList::InAND));
    QVERIFY(stack.canUndo(ConditionList::OutOR));
    stack.undo(ConditionList::OutOR)->applyTo(state);
    QVERIFY(state == afterMove);
    QVERIFY(stack.canUndo(ConditionList::InAND));
    stack.undo(ConditionList::InAND)->applyTo(state);
    ConditionsState start = startState();
    start[size_t(ConditionList::InAND)].boxes = {QStringLiteral("1"), QStringLiteral("x")};
    QVERIFY2(state == start, qPrintable(describe(state)));
    // Redo the other way round: the move first, from either of its lists.
    QVERIFY(stack.canRedo(ConditionList::OutOR));
    stack.redo(ConditionList::OutOR)->applyTo(state);
    QVERIFY(state == afterMove);
}

void tst_condition_undo::pastedOverSelection_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("piece");
    QTest::addColumn<bool>("isInsertion");
    row("into an empty box", "", "a\nb", "a\nb", true);
    row("at the start, sharing a character", "ab", "a\nbab", "a\nb", true);
    row("at the end", "ab", "abb\nc", "b\nc", true);
    row("over the whole text, sharing its start", "港区", "港南\n品川", "港南\n品川", true);
    row("over the middle", "xyz", "xp\nqz", "p\nq", true);
    row("another text", "ab", "ab\nc", "x\ny", false);
    row("piece cut", "", "a", "a\nb", false);
    row("box changed elsewhere too", "abc", "Xab\ncd", "b\nc", false);
}

void tst_condition_undo::pastedOverSelection() {
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, piece);
    QFETCH(bool, isInsertion);
    QCOMPARE(TypedInput::isInsertionOf(before, after, piece), isInsertion);
}

void tst_condition_undo::nonEmptyLines_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines"); // "number:text"
    QTest::addColumn<bool>("offered");
    row("CR LF after each", "港区\r\n新宿区\r\n", QStringList{"1:港区", "2:新宿区"}, true);
    row("LF, no end", "a\nb\nc", QStringList{"1:a", "2:b", "3:c"}, true);
    row("empty lines skipped, numbers kept", "a\r\n\r\n\nb\r\n", QStringList{"1:a", "4:b"}, true);
    row("blanks are a phrase", " \r\nb", QStringList{"1: ", "2:b"}, true);
    row("one cell", "abc\r\n", QStringList{"1:abc"}, false);
    row("break first", "\r\nabc", QStringList{"2:abc"}, false);
    row("no break", "abc", QStringList{"1:abc"}, false);
    row("breaks only", "\r\n\r\n", QStringList{}, false);
    row("CR inside a line stays", "a\rb\nc", QStringList{"1:a\rb", "2:c"}, true);
}

void tst_condition_undo::nonEmptyLines() {
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QFETCH(bool, offered);
    QStringList got;
    for (const ConditionPaste::Line& l : ConditionPaste::nonEmptyLines(text))
        got << QString::number(l.number) + u':' + l.text;
    QCOMPARE(got, lines);
    QCOMPARE(ConditionPaste::offersLines(text), offered);
}

void tst_condition_undo::registerLines_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("moveAnswer");
    QTest::addColumn<QString>("inAnd"); // AND's entries afterwards
    QTest::addColumn<QString>("outOr"); // NOT OR's entries afterwards (starts as 2:b)
    QTest::addColumn<int>("questions");
    QTest::addColumn<QStringList>("skipped"); // "line number:reason"
    QTest::addColumn<QString>("columnError");

    row("new lines, last on top", "2", "a\r\nc\r\nd\r\n", true, "2:d,2:c,2:a,1:z", "2:b", 0,
        QStringList{}, "");
    row("repeat within the paste", "2", "a\r\na\r\nc", true, "2:c,2:a,1:z", "2:b", 0,
        QStringList{"2:同じ語句が前の行にあります"}, "");
    row("found in another list, moved", "2", "a\r\nb", true, "2:b,2:a,1:z", "", 1, QStringList{},
        "");
    row("found in another list, kept there", "2", "a\r\nb", false, "2:a,1:z", "2:b", 1,
        QStringList{"2:NOT ORに登録済みです"}, "");
    row("same phrase, other column", "1", "b\r\nq", true, "1:q,1:b,1:z", "2:b", 0, QStringList{},
        "");
    row("column out of range", "6", "a\r\nb", true, "1:z", "2:b", 0, QStringList{},
        ConditionRegistration::rangeMessage(5));
    row("column not digits", "x", "a\r\nb", true, "1:z", "2:b", 0, QStringList{},
        ConditionRegistration::digitsMessage());
}

void tst_condition_undo::registerLines() {
    QFETCH(QString, column);
    QFETCH(QString, text);
    QFETCH(bool, moveAnswer);
    QFETCH(QString, inAnd);
    QFETCH(QString, outOr);
    QFETCH(int, questions);
    QFETCH(QStringList, skipped);
    QFETCH(QString, columnError);
    std::array<ConditionListModel, kConditionListCount> models;
    ConditionRegistration::Lists lists{};
    for (size_t i = 0; i < models.size(); ++i)
        lists[i] = &models[i];
    models[size_t(ConditionList::InAND)].appendEntry({"1", "z"});
    models[size_t(ConditionList::OutOR)].appendEntry({"2", "b"});
    QStringList asked;
    const Lines lines = ConditionPaste::nonEmptyLines(text);
    const ConditionPaste::Result r = ConditionPaste::registerLines(
        lists, ConditionList::InAND, column, lines, 4, [&](const QString& q) {
            asked << q;
            return moveAnswer;
        });
    QCOMPARE(models[size_t(ConditionList::InAND)].entries(), entriesOf(inAnd));
    QCOMPARE(models[size_t(ConditionList::OutOR)].entries(), entriesOf(outOr));
    QCOMPARE(asked.size(), questions);
    for (const QString& q : asked)
        QCOMPARE(q, ConditionRegistration::duplicateQuestion(ConditionList::OutOR,
                                                             ConditionList::InAND));
    QStringList got;
    for (const ConditionPaste::Skipped& s : r.skipped)
        got << QString::number(s.line.number) + u':' + s.reason;
    QCOMPARE(got, skipped);
    QCOMPARE(r.columnError, columnError);
    QCOMPARE(r.added, columnError.isEmpty() ? qsizetype(lines.size()) - qsizetype(skipped.size())
                                            : qsizetype(0));
}

void tst_condition_undo::skippedMessageNamesLines() {
    ConditionPaste::Result r;
    QCOMPARE(ConditionPaste::skippedMessage(r, 3), QString());
    // Many: the first twenty by name, the rest counted.
    for (int i = 1; i <= 25; ++i)
        r.skipped.push_back({{i, QStringLiteral("p%1").arg(i)}, QStringLiteral("r")});
    const QString many = ConditionPaste::skippedMessage(r, 26);
    QVERIFY(many.contains(QStringLiteral("20 行目「p20」: r")));
    QVERIFY(!many.contains(QStringLiteral("「p21」")));
    QVERIFY(many.endsWith(QStringLiteral("(ほか 5 行)")));
}

QTEST_GUILESS_MAIN(tst_condition_undo)
#include "tst_condition_undo.moc"
