// The header-line option, kept in the settings file between runs.
#include "settings/HeaderLineSetting.h"

#include "settings/mdlIniSet.h"

namespace HeaderLineSetting {

bool read(const QString& iniPath) {
    return mdlIniSet::GetIniString(Section.toString(), Key.toString(), iniPath).trimmed() == u"1";
}

void write(const QString& iniPath, bool on) {
    mdlIniSet::SetIniString(Section.toString(), Key.toString(),
                            on ? QStringLiteral("1") : QStringLiteral("0"), iniPath);
}

} // namespace HeaderLineSetting
