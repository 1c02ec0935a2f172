// Fuzz target: the settings-file reader and writer (GetIniString / SetIniString).
//
// Input: 1 header byte, the settings file's bytes, 0xFF, then section, key and value texts
// separated by 0xFF (U+FFFF in UTF-16 mode).
//   byte 0  bits 0-1: how the texts' bytes become text (0, 3: code page 932; 1: UTF-16LE;
//                     2: Latin-1)
//           bit 2: there is no settings file at first
//
// Properties, for a section, key and value that a settings file can hold (see fits()):
// GetIniString returns the value just written, every other key reads as before, and writing the
// same value again leaves the file byte for byte as it is. A section, key or value that code page
// 932 cannot hold leaves the file untouched.

#include "FuzzSupport.h"

#include "settings/mdlIniSet.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

using FuzzSupport::units;

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

bool hasOuterBlank(QStringView s) {
    return !s.isEmpty() && (isBlank(s.front()) || isBlank(s.back()));
}

bool sameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// What a settings file can hold and give back unchanged: text that code page 932 holds, on one
// line, without blanks at its ends; a section name without "]", a key without "=" that does not
// look like a section line, a value of at most 255 bytes that is not itself in quotes.
bool fits(const QString& section, const QString& key, const QString& value) {
    for (const QString* s : {&section, &key, &value}) {
        if (!FuzzSupport::cp932Holds(*s) || s->contains(u'\n') || hasOuterBlank(*s))
            return false;
    }
    if (section.contains(u']') || key.contains(u'=') || key.startsWith(u'['))
        return false;
    if (Cp932::encode(value).bytes.size() > mdlIniSet::MaxValueBytes)
        return false;
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        return false;
    return true;
}

std::optional<QByteArray> fileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return f.readAll();
}

QString trimmed(QStringView s) {
    while (!s.isEmpty() && isBlank(s.front()))
        s = s.sliced(1);
    while (!s.isEmpty() && isBlank(s.back()))
        s.chop(1);
    return s.toString();
}

// A few section and key names that occur in the file, to look at before and after a write.
void namesIn(QByteArrayView bytes, std::vector<QString>& sections, std::vector<QString>& keys) {
    const QString text = Cp932::decode(bytes);
    for (const QStringView line : QStringView(text).split(u'\n')) {
        const QString body = trimmed(line);
        if (body.startsWith(u'[')) {
            const qsizetype close = body.indexOf(u']');
            if (close > 0 && sections.size() < 4)
                sections.push_back(trimmed(QStringView(body).sliced(1, close - 1)));
        } else if (const qsizetype eq = line.indexOf(u'='); eq >= 0 && keys.size() < 4) {
            keys.push_back(trimmed(line.first(eq)));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    static QTemporaryDir dir;
    if (!dir.isValid())
        FuzzSupport::fail("no temporary folder");
    const QString path = dir.filePath(QStringLiteral("vornel.ini"));

    const unsigned char flags = data[0];
    const QByteArrayView rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const qsizetype sep = rest.indexOf(FuzzSupport::kSeparator);
    const QByteArrayView initial = sep < 0 ? rest : rest.first(sep);
    std::vector<QString> texts;
    if (sep >= 0)
        texts = FuzzSupport::textParts(rest.sliced(sep + 1), FuzzSupport::encodingFromFlags(flags));
    texts.resize(std::max<size_t>(texts.size(), 3));
    const QString& section = texts[0];
    const QString& key = texts[1];
    const QString& value = texts[2];

    QFile::remove(path);
    if (!(flags & 4)) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) ||
            f.write(initial.data(), initial.size()) != initial.size())
            FuzzSupport::fail("cannot write the settings file");
    }
    const std::optional<QByteArray> before = fileBytes(path);

    std::vector<QString> sections{section, QStringLiteral("Vornel Position")};
    std::vector<QString> keys{key, QStringLiteral("Top")};
    if (before)
        namesIn(*before, sections, keys);
    std::vector<std::pair<std::pair<QString, QString>, QString>> probes;
    for (const QString& s : sections) {
        for (const QString& k : keys) {
            const QString v = mdlIniSet::GetIniString(s, k, path);
            FUZZ_CHECK(v.size() <= mdlIniSet::MaxValueBytes, units(v));
            probes.push_back({{s, k}, v});
        }
    }

    mdlIniSet::SetIniString(section, key, value, path);
    const std::optional<QByteArray> after = fileBytes(path);

    const QByteArray what =
        "section " + units(section) + "\nkey " + units(key) + "\nvalue " + units(value) +
        "\nfile before: " + (before ? before->toHex(' ') : QByteArray("(none)")) +
        "\nfile after: " + (after ? after->toHex(' ') : QByteArray("(none)"));

    if (!Cp932::encode(section).ok() || !Cp932::encode(key).ok() || !Cp932::encode(value).ok()) {
        FUZZ_CHECK(after == before, "a write that cannot be encoded changed the file\n" + what);
        return 0;
    }
    FUZZ_CHECK(after.has_value(), "no file after a write\n" + what);
    if (!fits(section, key, value))
        return 0;

    const QString got = mdlIniSet::GetIniString(section, key, path);
    FUZZ_CHECK(got == value, "read back " + units(got) + "\n" + what);
    for (const auto& [names, old] : probes) {
        const auto& [s, k] = names;
        if (sameName(s, section) && sameName(k, key))
            continue;
        const QString now = mdlIniSet::GetIniString(s, k, path);
        FUZZ_CHECK(now == old, "another key changed: section " + units(s) + " key " + units(k) +
                                   "\nwas " + units(old) + "\nnow " + units(now) + "\n" + what);
    }

    mdlIniSet::SetIniString(section, key, value, path);
    FUZZ_CHECK(fileBytes(path) == after, "writing the same value again changed the file\n" + what);
    return 0;
}
