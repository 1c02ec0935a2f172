// What several pickup tests share: a row store from lines, the four lists, the verdict written
// out step by step, and the folding rules written out character by character.
#pragma once

#include "pickup/PickupEngine.h"
#include "pickup/TextFold.h"
#include "source/RowStore.h"

#include <QStringList>

#include <memory>
#include <vector>

inline std::unique_ptr<RowStore> makeStore(int commaCount, const QStringList& lines) {
    auto store = std::make_unique<RowStore>();
    store->reset(commaCount);
    for (const QString& line : lines)
        store->appendLine(line);
    return store;
}

struct Lists {
    std::vector<ConditionEntry> outAnd, outOr, inAnd, inOr;
    PickupConditions conditions() const { return {outAnd, outOr, inAnd, inOr}; }
};

// The verdict exactly as the row loop states it, step by step, with plain substring tests.
inline bool referencePicks(const RowStore& store, qint64 row, const Lists& l) {
    auto match = [&](const ConditionEntry& e) {
        const int col = e.column.toInt();
        const QString subject = col == 0 ? store.rowText(row) : store.field(row, col - 1);
        return subject.contains(e.phrase);
    };
    bool outAndVerdict = l.outAnd.empty();
    for (const auto& e : l.outAnd)
        if (!match(e))
            outAndVerdict = true;
    bool outOrVerdict = true;
    for (const auto& e : l.outOr)
        if (match(e)) {
            outOrVerdict = false;
            break;
        }
    bool inAndVerdict = l.inAnd.empty();
    for (const auto& e : l.inAnd) {
        if (!match(e)) {
            inAndVerdict = false;
            break;
        }
        inAndVerdict = true;
    }
    bool inOrVerdict = l.inOr.empty();
    for (const auto& e : l.inOr)
        if (match(e))
            inOrVerdict = true;
    const bool outAndUsed = !l.outAnd.empty();
    const bool outOrUsed = !l.outOr.empty();
    const bool excluded = (outAndUsed && outOrUsed && !outAndVerdict && !outOrVerdict) ||
                          (!outAndUsed && outOrUsed && !outOrVerdict) ||
                          (outAndUsed && !outOrUsed && !outAndVerdict);
    return !excluded && inAndVerdict && inOrVerdict;
}

inline MatchOptions optionsOf(const QString& switches) {
    return MatchOptions{switches.contains(u'w'), switches.contains(u'k'), switches.contains(u'c')};
}

// The folding rules written out character by character, independently of TextFold.
inline QString modelFold(const QString& text, MatchOptions o) {
    static const QString half =
        QStringLiteral("｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝﾞﾟ");
    static const QString full = QStringLiteral("。「」、・ヲァィゥェォャュョッーアイウエオカキクケ"
                                               "コサシスセソタチツテトナニヌネノハヒフヘホ"
                                               "マミムメモヤユヨラリルレロワン゛゜");
    static const QString voicedFrom = QStringLiteral("ｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾊﾋﾌﾍﾎｳﾜｦ");
    static const QString voicedTo =
        QStringLiteral("ガギグゲゴザジズゼゾダヂヅデドバビブベボヴヷヺ");
    static const QString semiFrom = QStringLiteral("ﾊﾋﾌﾍﾎ");
    static const QString semiTo = QStringLiteral("パピプペポ");
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (o.ignoreWidth) {
            const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
            if (next == u'ﾞ' && voicedFrom.contains(c)) {
                out += voicedTo[voicedFrom.indexOf(c)];
                ++i;
                continue;
            }
            if (next == u'ﾟ' && semiFrom.contains(c)) {
                out += semiTo[semiFrom.indexOf(c)];
                ++i;
                continue;
            }
            if (half.contains(c))
                c = full[half.indexOf(c)];
            else if (c.unicode() >= 0xFF01 && c.unicode() <= 0xFF5E)
                c = QChar(c.unicode() - 0xFF01 + u'!');
            else if (c == u'\u3000')
                c = u' ';
        }
        if (o.ignoreKana && ((c >= u'ぁ' && c <= u'ゖ') || c == u'ゝ' || c == u'ゞ'))
            c = QChar(c.unicode() - u'ぁ' + u'ァ');
        if (o.ignoreCase && ((c >= u'A' && c <= u'Z') || (c >= u'Ａ' && c <= u'Ｚ')))
            c = QChar(c.unicode() + 0x20);
        out += c;
    }
    return out;
}

// "col:phrase|col:phrase" into entries.
inline std::vector<ConditionEntry> entries(const QString& items) {
    std::vector<ConditionEntry> out;
    for (const QString& item : items.split(u'|', Qt::SkipEmptyParts))
        out.push_back({item.section(u':', 0, 0), item.section(u':', 1)});
    return out;
}
