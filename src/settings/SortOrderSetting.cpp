// The sort-order option, kept in the settings file between runs.
#include "settings/SortOrderSetting.h"

#include "settings/mdlIniSet.h"

namespace SortOrderSetting {

bool readJapanese(const QString& iniPath) {
    return mdlIniSet::GetIniString(Section.toString(), Key.toString(), iniPath)
               .trimmed()
               .compare(u"japanese", Qt::CaseInsensitive) == 0;
}

void write(const QString& iniPath, bool japanese) {
    mdlIniSet::SetIniString(Section.toString(), Key.toString(),
                            japanese ? QStringLiteral("japanese") : QStringLiteral("code"),
                            iniPath);
}

} // namespace SortOrderSetting
