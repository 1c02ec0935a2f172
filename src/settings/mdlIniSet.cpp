#include "settings/mdlIniSet.h"

#include "base/Cp932.h"

#include "base/WholeFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString& iniFilePath() {
    static QString path;
    return path;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Neither a space, a tab, "=", "[", nor a quote can be the second byte of a two-byte character
// (those are 0x40 and above), so searching the raw bytes for them is safe. "]" can be such a byte,
// so section names are looked at after decoding.
QByteArrayView trimmedBytes(QByteArrayView bytes) {
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && isBlank(bytes[begin]))
        ++begin;
    while (end > begin && isBlank(bytes[end - 1]))
        --end;
    return bytes.sliced(begin, end - begin);
}

QString trimmedName(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t'))
        ++begin;
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t'))
        --end;
    return text.sliced(begin, end - begin).toString();
}

bool sameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// One line of the file: its bytes without the line end, and the line end as it was.
struct Line {
    qsizetype begin = 0;      // first byte
    qsizetype contentEnd = 0; // end of the content, before "\r\n" or "\n"
    qsizetype next = 0;       // first byte of the next line

    enum class Kind { Other, Section, Key };
    Kind kind = Kind::Other;
    qsizetype valueAt = 0; // for a key: index of the first byte after "="
};

// Goes through the file one line at a time, without a table of lines: a settings file of many
// megabytes (millions of lines) is read in one pass, and a name is decoded only when it could
// be the one looked for.
class LineScanner {
public:
    LineScanner(QByteArrayView data, const QString& section) : m_data(data), m_section(section) {}

    // The next line, or false at the end.
    bool next(Line& line) {
        if (m_pos >= m_data.size())
            return false;
        const char* base = m_data.data();
        const void* nl = std::memchr(base + m_pos, '\n', size_t(m_data.size() - m_pos));
        line = Line();
        line.begin = m_pos;
        if (!nl) {
            line.contentEnd = line.next = m_data.size();
        } else {
            const qsizetype at = static_cast<const char*>(nl) - base;
            line.contentEnd = at > m_pos && base[at - 1] == '\r' ? at - 1 : at;
            line.next = at + 1;
        }
        m_pos = line.next;

        const QByteArrayView content = this->content(line);
        const QByteArrayView body = trimmedBytes(content);
        if (body.startsWith('[')) {
            if (const std::optional<bool> matches = sectionMatches(body)) {
                line.kind = Line::Kind::Section;
                m_sectionMatches = *matches;
            }
        } else if (const qsizetype eq = content.indexOf('='); eq >= 0) {
            line.kind = Line::Kind::Key;
            line.valueAt = line.begin + eq + 1;
        }
        return true;
    }

    QByteArrayView content(const Line& line) const {
        return m_data.sliced(line.begin, line.contentEnd - line.begin);
    }

    // For a section line just read: whether it names the section looked for.
    bool sectionMatches() const { return m_sectionMatches; }

    // For a key line: whether it names the key.
    bool keyIs(const Line& line, const QString& name) const {
        const QByteArrayView bytes =
            trimmedBytes(m_data.sliced(line.begin, line.valueAt - 1 - line.begin));
        // A name of n code units takes n to 2n bytes in code page 932; most lines are
        // settled without decoding them.
        if (bytes.size() < name.size() || bytes.size() > 2 * name.size())
            return false;
        return sameName(trimmedName(Cp932::decode(bytes)), name);
    }

private:
    // For a line whose trimmed bytes start with "[": nothing when it has no "]" after the "["
    // (no section line), otherwise whether the name between them is the section's.
    std::optional<bool> sectionMatches(QByteArrayView body) const {
        if (isAscii(body)) {
            const qsizetype close = body.indexOf(']');
            if (close <= 0)
                return std::nullopt;
            const QByteArrayView name = trimmedBytes(body.sliced(1, close - 1));
            return name.size() == m_section.size() &&
                   QString::compare(m_section, QLatin1StringView(name), Qt::CaseInsensitive) == 0;
        }
        const QString text = Cp932::decode(body);
        const qsizetype close = text.indexOf(u']');
        if (close <= 0)
            return std::nullopt;
        return sameName(trimmedName(QStringView(text).sliced(1, close - 1)), m_section);
    }

    static bool isAscii(QByteArrayView bytes) {
        for (const char c : bytes)
            if (static_cast<unsigned char>(c) >= 0x80)
                return false;
        return true;
    }

    QByteArrayView m_data;
    const QString& m_section;
    qsizetype m_pos = 0;
    bool m_sectionMatches = false;
};

// Where the section and the key are in the file.
struct Found {
    bool section = false;
    std::optional<Line> key;
    Line lastInSection; // the section's last line that is not blank (its header at the least)
};

Found find(QByteArrayView data, const QString& section, const QString& key) {
    Found found;
    LineScanner scanner(data, section);
    Line line;
    bool inSection = false;
    while (scanner.next(line)) {
        if (line.kind == Line::Kind::Section) {
            if (inSection)
                break; // the first matching section is the one
            if (scanner.sectionMatches()) {
                inSection = found.section = true;
                found.lastInSection = line;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (line.kind == Line::Kind::Key && scanner.keyIs(line, key)) {
            found.key = line;
            break;
        }
        if (!trimmedBytes(scanner.content(line)).isEmpty())
            found.lastInSection = line;
    }
    return found;
}

// The settings file's bytes. Anything but a regular file (a pipe, a device, a symbolic link,
// whatever it points to) is refused without waiting on it, and so is a file far larger than any
// settings file: the program then starts as without settings and writes nothing over it.
enum class ReadResult { Read, Missing, Refused };

ReadResult readSettings(const QString& path, QByteArray& data) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Refused;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > mdlIniSet::MaxFileBytes) {
        ::close(fd);
        return ReadResult::Refused;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return ReadResult::Refused;
    }
    // As many bytes as the file holds, and one more to see it grow: a read asks for its whole
    // buffer at once, so the limit itself is no size to ask for.
    data = file.read(qint64(st.st_size) + 1);
    if (data.size() > qsizetype(st.st_size)) // it grew: read on, up to the limit
        data += file.read(mdlIniSet::MaxFileBytes + 1 - data.size());
    if (file.error() != QFileDevice::NoError || data.size() > mdlIniSet::MaxFileBytes)
        return ReadResult::Refused; // grew past the limit while read
    return ReadResult::Read;
}

// At most maxBytes bytes of value, never ending inside a two-byte character.
QByteArrayView cutToBytes(QByteArrayView value, qsizetype maxBytes) {
    if (value.size() <= maxBytes)
        return value;
    qsizetype pos = 0;
    while (pos < maxBytes) {
        const qsizetype width =
            (Cp932::isLeadByte(static_cast<unsigned char>(value[pos])) && pos + 1 < value.size())
                ? 2
                : 1;
        if (pos + width > maxBytes)
            break;
        pos += width;
    }
    return value.first(pos);
}

QByteArrayView unquoted(QByteArrayView value) {
    if (value.size() >= 2) {
        const char first = value.front();
        if ((first == '"' || first == '\'') && value.back() == first)
            return value.sliced(1, value.size() - 2);
    }
    return value;
}

} // namespace

namespace mdlIniSet {

QString IniFilePath() {
    return iniFilePath();
}

void SetIniFilePath(const QString& path) {
    iniFilePath() = path;
}

QString GetIniString(const QString& section, const QString& key, const QString& path) {
    QByteArray data;
    if (readSettings(path, data) != ReadResult::Read)
        return {};
    const Found found = find(data, section, key);
    if (!found.key)
        return {};
    const Line& line = *found.key;
    const QByteArrayView value = unquoted(
        trimmedBytes(QByteArrayView(data).sliced(line.valueAt, line.contentEnd - line.valueAt)));
    if (value.size() > MaxStoredValueBytes)
        return {}; // no value of ours: ignored
    return Cp932::decode(cutToBytes(value, MaxValueBytes));
}

QString SetIniString(const QString& section, const QString& key, const QString& value,
                     const QString& path) {
    const Cp932::EncodeResult sectionBytes = Cp932::encode(section);
    const Cp932::EncodeResult keyBytes = Cp932::encode(key);
    const Cp932::EncodeResult valueBytes = Cp932::encode(value);
    if (!sectionBytes.ok() || !keyBytes.ok() || !valueBytes.ok())
        return QStringLiteral("設定ファイルに書けない文字が含まれています。");
    if (valueBytes.bytes.size() > MaxStoredValueBytes)
        return QStringLiteral("設定の値が長すぎます。");

    QByteArray data;
    // Never replace a file that could not be read, nor write through a link.
    if (readSettings(path, data) == ReadResult::Refused)
        return QStringLiteral("設定ファイルが通常のファイルではないため、書き込みませんでした。");
    const QByteArray newLine = keyBytes.bytes + '=' + valueBytes.bytes + "\r\n";
    const QByteArrayView all(data);
    const Found found = find(all, section, key);

    // The new text is built from the old bytes, so everything not changed stays as it was, line
    // ends included. A line that ends the file without a line end gets one before something
    // follows it.
    QByteArray out;
    out.reserve(data.size() + newLine.size() + sectionBytes.bytes.size() + 4);
    if (!found.section) {
        out.append(all);
        if (!data.isEmpty() && !data.endsWith('\n'))
            out.append("\r\n");
        out += '[' + sectionBytes.bytes + "]\r\n" + newLine;
    } else if (found.key) {
        out.append(all.first(found.key->valueAt));
        out.append(valueBytes.bytes);
        out.append(all.sliced(found.key->contentEnd));
    } else {
        // A new key goes after the section's last line that is not blank.
        const Line& last = found.lastInSection;
        out.append(all.first(last.next));
        if (last.next == last.contentEnd)
            out.append("\r\n");
        out.append(newLine);
        out.append(all.sliced(last.next));
    }

    // Whole or not at all: after a failure the next start reads the old file.
    WholeFile file(path, WholeFile::NoSymbolicLink);
    if (file.open() && file.write(out) && file.commit())
        return {};
    return file.errorString();
}

} // namespace mdlIniSet
