#pragma once

#include <QString>
#include <QStringView>

// What a single-line text box keeps of an edit the user made (typing, pasting, dropping): the
// inserted piece up to its first line break, as single-line boxes do, and no more of it than a
// keyboard limit leaves room for. Text the program puts into a box is not cut by either rule.
namespace TypedInput {

// before: the box's text before the edit; after: its text after it. keyboardLimit: the most
// characters the user may bring the box to (-1: no limit); text that was there before the edit is
// never cut, only the inserted piece is. Returns the text to keep and, in cursor, the position
// right after the kept piece.
QString keep(QStringView before, QStringView after, qsizetype keyboardLimit, qsizetype* cursor);

// True when after is before with one stretch of it (perhaps empty: an insertion) replaced by
// piece, as a paste of piece over the selection (or at the cursor) leaves it.
bool isInsertionOf(QStringView before, QStringView after, QStringView piece);

} // namespace TypedInput
