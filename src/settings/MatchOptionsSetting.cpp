// The switches of matching that ignores width, kana and case, kept in the settings file.
#include "settings/MatchOptionsSetting.h"

#include "settings/mdlIniSet.h"

namespace MatchOptionsSetting {
namespace {

bool readKey(const QString& iniPath, QStringView key) {
    return mdlIniSet::GetIniString(Section.toString(), key.toString(), iniPath).trimmed() == u"1";
}

void writeKey(const QString& iniPath, QStringView key, bool on) {
    mdlIniSet::SetIniString(Section.toString(), key.toString(),
                            on ? QStringLiteral("1") : QStringLiteral("0"), iniPath);
}

} // namespace

MatchOptions read(const QString& iniPath) {
    return MatchOptions{readKey(iniPath, WidthKey), readKey(iniPath, KanaKey),
                        readKey(iniPath, CaseKey)};
}

void write(const QString& iniPath, MatchOptions options) {
    writeKey(iniPath, WidthKey, options.ignoreWidth);
    writeKey(iniPath, KanaKey, options.ignoreKana);
    writeKey(iniPath, CaseKey, options.ignoreCase);
}

} // namespace MatchOptionsSetting
