#include "conditions/TypedInput.h"

#include <algorithm>

namespace TypedInput {

namespace {

struct Shared {
    qsizetype prefix = 0;
    qsizetype suffix = 0;
};

// The lengths of the text before and after share at the start and at the end.
Shared sharedEnds(QStringView before, QStringView after) {
    const qsizetype shorter = std::min(before.size(), after.size());
    Shared s;
    while (s.prefix < shorter && before[s.prefix] == after[s.prefix])
        ++s.prefix;
    while (s.suffix < shorter - s.prefix &&
           before[before.size() - 1 - s.suffix] == after[after.size() - 1 - s.suffix])
        ++s.suffix;
    return s;
}

} // namespace

bool isInsertionOf(QStringView before, QStringView after, QStringView piece) {
    const qsizetype removed = before.size() + piece.size() - after.size();
    if (removed < 0)
        return false;
    const Shared shared = sharedEnds(before, after);
    // The piece starts where the text both share at the start ends, or before.
    for (qsizetype at = std::min(shared.prefix, before.size() - removed); at >= 0; --at) {
        if (after.sliced(at, piece.size()) == piece &&
            after.sliced(at + piece.size()) == before.sliced(at + removed))
            return true;
    }
    return false;
}

QString keep(QStringView before, QStringView after, qsizetype keyboardLimit, qsizetype* cursor) {
    // The inserted piece is what lies between the text both share at the start and at the end.
    const Shared shared = sharedEnds(before, after);
    const qsizetype prefix = shared.prefix;
    const qsizetype suffix = shared.suffix;
    QStringView inserted = after.sliced(prefix, after.size() - prefix - suffix);

    const auto lineBreak = std::find_if(inserted.begin(), inserted.end(),
                                        [](QChar c) { return c == u'\r' || c == u'\n'; });
    inserted = inserted.first(lineBreak - inserted.begin());
    if (keyboardLimit >= 0)
        inserted = inserted.first(
            std::clamp<qsizetype>(keyboardLimit - prefix - suffix, 0, inserted.size()));
    if (cursor)
        *cursor = prefix + inserted.size();
    QString kept;
    kept.reserve(prefix + inserted.size() + suffix);
    kept.append(after.first(prefix)).append(inserted).append(after.last(suffix));
    return kept;
}

} // namespace TypedInput
