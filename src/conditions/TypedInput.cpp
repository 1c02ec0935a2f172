#include "conditions/TypedInput.h"

#include <algorithm>

namespace TypedInput {

QString keep(QStringView before, QStringView after, qsizetype keyboardLimit, qsizetype* cursor) {
    // The inserted piece is what lies between the text both share at the start and at the end.
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
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
