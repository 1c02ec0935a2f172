// Writes a realistic code page 932 data file for the benchmarks: lines of about 80 bytes with
// numbers, dates, kanji, half-width katakana and ASCII, nine fields each. A share of the lines
// can be given the wrong number of fields.
//
//   vornel_gen_data --rows N --seed S [--bad-share F] --out FILE
#include "base/Cp932.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::vector<QByteArray> encodeAll(std::initializer_list<const char16_t*> words) {
    std::vector<QByteArray> out;
    for (const char16_t* w : words) {
        const Cp932::EncodeResult r = Cp932::encode(QStringView(w));
        if (!r.ok()) {
            std::fprintf(stderr, "vornel_gen_data: a word cannot be written in code page 932\n");
            std::exit(1);
        }
        out.push_back(r.bytes);
    }
    return out;
}

int usage() {
    std::fprintf(stderr, "usage: vornel_gen_data --rows N --seed S [--bad-share F] --out FILE\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    qint64 rows = -1;
    quint32 seed = 1;
    double badShare = 0.0;
    const char* out = nullptr;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--rows") && hasValue)
            rows = std::atoll(argv[++i]);
        else if (!std::strcmp(argv[i], "--seed") && hasValue)
            seed = quint32(std::strtoul(argv[++i], nullptr, 10));
        else if (!std::strcmp(argv[i], "--bad-share") && hasValue)
            badShare = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--out") && hasValue)
            out = argv[++i];
        else
            return usage();
    }
    if (rows < 0 || !out || badShare < 0 || badShare > 1)
        return usage();

    const auto families = encodeAll({u"佐藤", u"鈴木", u"高橋", u"田中", u"伊藤", u"渡辺", u"山本",
                                     u"中村", u"小林", u"加藤", u"吉田", u"山田"});
    const auto given = encodeAll(
        {u"太郎", u"花子", u"一郎", u"美咲", u"健太", u"陽子", u"翔", u"由美", u"大輔", u"愛"});
    const auto kana = encodeAll(
        {u"ｻﾄｳ ﾀﾛｳ", u"ｽｽﾞｷ ﾊﾅｺ", u"ﾀｶﾊｼ ｲﾁﾛｳ", u"ﾀﾅｶ ﾐｻｷ", u"ｲﾄｳ ｹﾝﾀ", u"ﾔﾏﾀﾞ ﾖｳｺ", u"ｶﾄｳ ｼｮｳ"});
    const auto places = encodeAll(
        {u"東京都", u"大阪府", u"北海道", u"福岡県", u"愛知県", u"神奈川県", u"京都府", u"沖縄県"});
    const auto items = encodeAll({u"ﾃﾞｰﾀ", u"抽選券", u"Ａ賞", u"特別会員", u"一般", u"予約済"});

    const auto notes = encodeAll(
        {u"ok", u"check later", u"受付済 ok", u"要確認 (再送)", u"問合せ 2回目", u"ﾒｰﾙ送付済"});

    QFile file(QString::fromLocal8Bit(out));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "vornel_gen_data: cannot write %s: %s\n", out,
                     qPrintable(file.errorString()));
        return 1;
    }
    QRandomGenerator rng(seed);
    QByteArray buffer;
    buffer.reserve(8 * 1024 * 1024 + 1024);
    auto pick = [&](const std::vector<QByteArray>& v) -> const QByteArray& {
        return v[size_t(rng.bounded(int(v.size())))];
    };
    char num[64];
    for (qint64 r = 0; r < rows; ++r) {
        // id, date, name, reading, place, item, code, amount, note
        std::snprintf(num, sizeof num, "%08lld,", static_cast<long long>(r + 1));
        buffer += num;
        std::snprintf(num, sizeof num, "20%02u/%02u/%02u,", rng.bounded(10, 25), rng.bounded(1, 13),
                      rng.bounded(1, 29));
        buffer += num;
        buffer += pick(families);
        buffer += pick(given);
        buffer += ',';
        buffer += pick(kana);
        buffer += ',';
        buffer += pick(places);
        buffer += ',';
        buffer += pick(items);
        std::snprintf(num, sizeof num, ",AB-%04u-%c,%u,", rng.bounded(10000),
                      char('A' + rng.bounded(26)), rng.bounded(100, 99999));
        buffer += num;
        buffer += pick(notes);
        if (badShare > 0 && rng.generateDouble() < badShare) {
            if (rng.bounded(2))
                buffer += ",extra"; // one field too many
            else
                buffer.truncate(buffer.lastIndexOf(',')); // one field short
        }
        buffer += "\r\n";
        if (buffer.size() >= 8 * 1024 * 1024) {
            if (file.write(buffer) != buffer.size()) {
                std::fprintf(stderr, "vornel_gen_data: write failed: %s\n",
                             qPrintable(file.errorString()));
                return 1;
            }
            buffer.clear();
        }
    }
    if (file.write(buffer) != buffer.size() || !file.flush()) {
        std::fprintf(stderr, "vornel_gen_data: write failed: %s\n", qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
