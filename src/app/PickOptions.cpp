// The command line's options read from its arguments, and the usage and help texts.
#include "app/PickOptions.h"

namespace {

// The option that names each list file.
QString listOption(ConditionList id) {
    switch (id) {
    case ConditionList::OutAND:
        return QStringLiteral("--not-and");
    case ConditionList::OutOR:
        return QStringLiteral("--not-or");
    case ConditionList::InAND:
        return QStringLiteral("--and");
    case ConditionList::InOR:
        return QStringLiteral("--or");
    }
    return {};
}

} // namespace

std::optional<QString> PickOptions::parse(const QStringList& arguments, PickOptions& o) {
    bool sortGiven = false;
    bool orderGiven = false;
    bool encodingGiven = false;
    bool fieldsGiven = false;
    bool outputGiven = false;
    bool dataGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        std::optional<QString> value;
        if (name.startsWith(u"--")) {
            const qsizetype equals = name.indexOf(u'=');
            if (equals > 0) {
                value = name.mid(equals + 1);
                name.truncate(equals);
            }
        }
        if (name == u"--help" || name == u"-h" || name == u"--version" || name == u"--quiet" ||
            name == u"-q" || name == u"--header" || name == u"--ignore-width" ||
            name == u"--ignore-kana" || name == u"--ignore-case") {
            if (value)
                return QStringLiteral("option %1 takes no value").arg(name);
            if (name == u"--help" || name == u"-h")
                o.help = true;
            else if (name == u"--version")
                o.version = true;
            else if (name == u"--header")
                o.header = true;
            else if (name == u"--ignore-width")
                o.match.ignoreWidth = true;
            else if (name == u"--ignore-kana")
                o.match.ignoreKana = true;
            else if (name == u"--ignore-case")
                o.match.ignoreCase = true;
            else
                o.quiet = true;
            continue;
        }
        std::optional<ConditionList> list;
        for (ConditionList id : kConditionListOrder)
            if (name == listOption(id))
                list = id;
        const bool takesValue = list || name == u"--pick" || name == u"--sort" ||
                                name == u"--order" || name == u"--encoding" ||
                                name == u"--fields" || name == u"--set" || name == u"--output" ||
                                name == u"-o";
        if (!takesValue) {
            if (name.startsWith(u'-') && name.size() > 1)
                return QStringLiteral("unknown option %1").arg(name);
            return QStringLiteral("unexpected argument %1").arg(name);
        }
        if (!value) {
            if (i + 1 >= arguments.size())
                return QStringLiteral("option %1 needs a value").arg(name);
            value = arguments[++i];
        }
        if (value->isEmpty())
            return QStringLiteral("option %1 needs a value").arg(name);
        if (list) {
            o.lists[size_t(*list)].append(*value);
        } else if (name == u"--set") {
            if (!o.set.isEmpty())
                return QStringLiteral("option --set given twice");
            o.set = *value;
        } else if (name == u"--pick") {
            if (dataGiven)
                return QStringLiteral("option --pick given twice");
            dataGiven = true;
            o.data = *value;
        } else if (name == u"--sort") {
            if (sortGiven)
                return QStringLiteral("option --sort given twice");
            sortGiven = true;
            if (*value == u"asc")
                o.sort = ResultSort::Order::Ascending;
            else if (*value == u"desc")
                o.sort = ResultSort::Order::Descending;
            else
                return QStringLiteral("--sort takes asc or desc, not %1").arg(*value);
        } else if (name == u"--order") {
            if (orderGiven)
                return QStringLiteral("option --order given twice");
            orderGiven = true;
            if (*value == u"code")
                o.order = ResultSort::Collation::Code;
            else if (*value == u"japanese")
                o.order = ResultSort::Collation::Japanese;
            else
                return QStringLiteral("--order takes code or japanese, not %1").arg(*value);
        } else if (name == u"--encoding") {
            if (encodingGiven)
                return QStringLiteral("option --encoding given twice");
            encodingGiven = true;
            if (*value == u"cp932")
                o.encoding = TextEncoding::Cp932;
            else if (*value == u"utf-8")
                o.encoding = TextEncoding::Utf8;
            else if (*value != u"auto")
                return QStringLiteral("--encoding takes auto, cp932 or utf-8, not %1").arg(*value);
        } else if (name == u"--fields") {
            if (fieldsGiven)
                return QStringLiteral("option --fields given twice");
            fieldsGiven = true;
            if (*value == u"plain")
                o.fields = FieldMode::Plain;
            else if (*value == u"quoted")
                o.fields = FieldMode::Quoted;
            else if (*value != u"auto")
                return QStringLiteral("--fields takes auto, plain or quoted, not %1").arg(*value);
        } else {
            if (outputGiven)
                return QStringLiteral("option --output given twice");
            outputGiven = true;
            o.output = *value;
        }
    }
    if (!o.help && !o.version && !dataGiven)
        return QStringLiteral("--pick DATA is missing");
    // A set holds all four lists: list files beside it would leave unclear which entries count.
    if (!o.set.isEmpty())
        for (ConditionList id : kConditionListOrder)
            if (!o.lists[size_t(id)].isEmpty())
                return QStringLiteral("--set cannot be combined with --and, --or, --not-and or "
                                      "--not-or");
    if (orderGiven && !sortGiven)
        return QStringLiteral("option --order needs --sort");
    return std::nullopt;
}

QString PickOptions::usageText() {
    return QStringLiteral(
        "Usage: vornel [FILE]\n"
        "       vornel --pick DATA [--and LIST] [--or LIST] [--not-and LIST] [--not-or LIST]\n"
        "              [--header] [--ignore-width] [--ignore-kana] [--ignore-case]\n"
        "              [--sort asc|desc] [--order code|japanese]\n"
        "              [--encoding auto|cp932|utf-8]\n"
        "              [--fields auto|plain|quoted] [--output FILE] [--quiet]\n"
        "       vornel --pick DATA --set SET [the options above but the four list files]\n"
        "       vornel --help | --version\n");
}

QString PickOptions::helpText() {
    return usageText() + QStringLiteral(R"(
Without options Vornel opens its window (with FILE loaded when one is given).

--pick DATA runs a pickup without a window: DATA is read as the window's Open reads
it, the list files are loaded into their lists as the window's load buttons load
them, the entries are checked as Start checks them, and the picked rows are written
as Save writes them (each row's own line, CR LF).

  --pick DATA          the data file
  --and LIST           a list file for AND (keep lines that match every entry)
  --or LIST            a list file for OR (keep lines that match one entry)
  --not-and LIST       a list file for NOT AND (match every entry)
  --not-or LIST        a list file for NOT OR (match one entry); a line is dropped
                       when it matches every NOT list that has entries
                       (a list option may be given more than once; its files are
                       loaded in order, as several loads into one list; with no
                       list at all every line is picked)
  --set SET            a condition-set file holding all four lists (the window's
                       "条件セットを保存..." writes one): one entry a line,
                       AND|OR|NOTAND|NOTOR,column,phrase ("#" lines are comments);
                       a bad line stops the run, as in a list file; cannot be
                       combined with the four list options (status 2)
  --header             the first line of DATA names the columns (the window's
                       "1行目は見出し"): it is never picked, and is written first
  --ignore-width       full-width and half-width forms match each other (ＡＢＣ = ABC,
                       ｶﾞ = ガ, the ideographic space = space), as the window's
                       "全角/半角を区別しない"
  --ignore-kana        hiragana and katakana match each other ("ひらがな/カタカナを
                       区別しない")
  --ignore-case        upper and lower case match each other, ASCII and full-width
                       Latin letters ("大文字/小文字を区別しない"); all three apply to
                       plain phrases and patterns on every column, and the rows are
                       still written as their own bytes
  --sort asc|desc      sort the result rows as the window's Sort does
  --order code|japanese
                       the order of --sort: code (the default: text compared
                       code unit by code unit) or japanese (the window's
                       "日本語順": kana by sound, hiragana, katakana and
                       half-width forms together, kanji in JIS order, digit
                       runs as numbers, so 1丁目 < 2丁目 < 10丁目)
  --encoding auto|cp932|utf-8
                       read DATA in this encoding; auto (the default) decides
                       from all of its bytes, as Open does
  --fields auto|plain|quoted
                       how fields are cut: plain (every comma cuts), quoted (a
                       field in "..." may hold commas, "" and line breaks), or
                       auto (the default: the file's quotes decide, as in Open)
  -o, --output FILE    write the result to FILE (standard output when not given
                       or "-"); FILE is replaced only when the whole result was written,
                       never written in place, and never the data file, a list file
                       or the set file
  -q, --quiet          print nothing but errors
  -h, --help           print this text
      --version        print the version

Lines whose comma count differs from the first line's are skipped and counted on
standard error. While standard error is a terminal it shows the progress.

Exit status: 0 done; 1 a data, list or set file could not be read (a list or set
line that holds no entry included, or a data file that changed while it was read),
an entry would be refused by Start, or the result could not be written; 2 the
command line is wrong (--set with a list option included).
)");
}
