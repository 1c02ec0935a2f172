#pragma once

#include <QString>

namespace mdlShare {

// The text after the last "\", ":" or "/" of the path, or empty text when it holds none of them.
// ("/" is a separator too: paths on this system use it.)
QString GetFileName(const QString& path);

} // namespace mdlShare
