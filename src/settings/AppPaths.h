#pragma once

#include <QString>

// Where the files that live beside the program are: the settings file, the help document and the
// hand-over file for Zelvo. The program's folder is the executable's folder unless a test points it
// somewhere else.
class AppPaths {
public:
    // The program's folder, without a trailing separator.
    static QString programFolder();
    // Points the program's folder at folder; an empty folder returns to the executable's folder.
    static void setProgramFolder(const QString& folder);

    // The program's folder followed by "/vornel.ini".
    static QString settingsFilePath();
    // The program's folder followed by "/vornel.txt".
    static QString helpDocumentPath();
    // The program's folder followed by "/zelvo_transfer.txt".
    static QString transferFilePath();

private:
    static QString fileInProgramFolder(const QString& name);
};
