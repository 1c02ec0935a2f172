#pragma once

#include <QString>

// The About dialog's version line: "Vornel Version " with the major version (at least one digit),
// a point and the minor version in at least two digits ("Vornel Version 0.30", "1.05").
QString VersionText(int major, int minor);

// The version line of this build (the project's version in CMake).
QString ProgramVersionText();
