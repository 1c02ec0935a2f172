#include "source/GetFileName.h"

namespace mdlShare {

QString GetFileName(const QString& path) {
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const QChar c = path[i];
        if (c == u'\\' || c == u':' || c == u'/')
            return path.sliced(i + 1);
    }
    return {};
}

} // namespace mdlShare
