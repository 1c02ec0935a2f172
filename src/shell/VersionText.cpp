#include "shell/VersionText.h"

QString VersionText(int major, int minor) {
    return QStringLiteral("Vornel Version %1.%2").arg(major).arg(minor, 2, 10, QLatin1Char('0'));
}

QString ProgramVersionText() {
    return VersionText(VORNEL_VERSION_MAJOR, VORNEL_VERSION_MINOR);
}
