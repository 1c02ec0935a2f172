#pragma once

// The options of the command line `vornel --pick`, as read from its arguments, and the texts
// that describe them (the usage and --help).

#include "base/TextCodec.h"
#include "conditions/ConditionList.h"
#include "pickup/MatchOptions.h"
#include "results/ResultSort.h"
#include "source/FieldMode.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

struct PickOptions {
    QString data;
    std::array<QStringList, kConditionListCount> lists; // by ConditionList, in the given order
    QString set; // a condition-set file instead of the list files
    std::optional<ResultSort::Order> sort;
    ResultSort::Collation order = ResultSort::Collation::Code; // --order code|japanese
    std::optional<TextEncoding> encoding;                      // none: the file's bytes decide
    std::optional<FieldMode> fields; // --fields plain|quoted; auto: the file decides
    QString output;                  // empty or "-": standard output
    bool quiet = false;
    bool header = false; // the first line names the columns
    MatchOptions match;  // --ignore-width, --ignore-kana, --ignore-case
    bool help = false;
    bool version = false;

    // Reads the arguments (without the program's name) into `into`; the text of the first usage
    // error, or nothing.
    static std::optional<QString> parse(const QStringList& arguments, PickOptions& into);
    // The lines of the usage text.
    static QString usageText();
    // The text of --help (the usage text first).
    static QString helpText();
};
