#pragma once

// How a data file's records and fields are cut: the two field modes and their names for the user.

#include <QString>

#include <optional>

enum class FieldMode {
    Plain,  // every comma cuts a field, every line end ends a record
    Quoted, // a field that begins with '"' runs to its closing '"' ("" is one '"')
};

namespace FieldModes {

// The mode's name as the window shows it.
inline QString displayName(FieldMode mode) {
    return mode == FieldMode::Quoted ? QStringLiteral("引用符付き") : QStringLiteral("引用符なし");
}

// A quoted field's line breaks (CR LF or LF) shown as "↵", so that a record stays one line in a
// list.
inline QString visibleLineBreaks(QString text) {
    if (text.contains(u'\n'))
        text.replace(QStringLiteral("\r\n"), QStringLiteral("↵")).replace(u'\n', u'↵');
    return text;
}

} // namespace FieldModes
