#pragma once

#include <QString>

// Where the files that live beside the program are: the settings file, the help document and the
// hand-over file for Zelvo. The program's folder is the executable's folder unless a test points it
// somewhere else.
//
// The help document is always read from the program's folder. The settings file and the hand-over
// file are written, so they live in the data folder: the program's folder when it is writable (a
// portable copy), otherwise (an installed package) the user's configuration folder for this
// program, which is created when needed.
class AppPaths {
public:
    // The program's folder, without a trailing separator.
    static QString programFolder();
    // Points the program's folder at folder; an empty folder returns to the executable's folder.
    static void setProgramFolder(const QString& folder);

    // Whether files can be created in the program's folder.
    static bool programFolderWritable();
    // Tests run as root, where permissions do not stop a write: true makes the program's folder
    // count as not writable whatever its permissions; false checks the folder again.
    static void setProgramFolderReadOnlyForTesting(bool readOnly);

    // The folder of the settings file and the hand-over file, without a trailing separator: the
    // program's folder when it is writable, otherwise the per-user configuration folder
    // (QStandardPaths::AppConfigLocation), created here when missing (readable by the user
    // alone: it holds the hand-over file of the picked rows). Should no configuration
    // folder be known, the program's folder is used.
    static QString dataFolder();

    // The data folder followed by "/vornel.ini".
    static QString settingsFilePath();
    // The program's folder followed by "/vornel.txt".
    static QString helpDocumentPath();
    // The data folder followed by "/zelvo_transfer.txt".
    static QString transferFilePath();
    // The data folder followed by "/vornel_lists.txt" (the condition lists kept between runs).
    static QString listsFilePath();

private:
    static QString fileIn(QString folder, const QString& name);
};
