#pragma once

#include <QString>

namespace mdlShare {

// Result codes of opening a document, as the shell reports them: above ShellOpenedOk means the
// document was opened.
inline constexpr int ShellFileNotFound = 2;
inline constexpr int ShellPathNotFound = 3;
inline constexpr int ShellNoAssociation = 31;
inline constexpr int ShellOpenedOk = 32;

// The message shown when opening the document at path ended with resultCode: the reason in
// Japanese, a blank line and the path; empty when the document was opened (a code above 32).
QString OpenDocumentMessage(int resultCode, const QString& path);

} // namespace mdlShare
