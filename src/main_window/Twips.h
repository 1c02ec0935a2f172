#pragma once

// Twips and pixels: the windows' layouts and the stored window position are given in twips,
// fifteen of which make a device-independent pixel.

#include <QRect>
#include <QtGlobal>

#include <algorithm>
#include <limits>

constexpr int kTwipsPerPixel = 15;

// Twips to pixels, to the nearest pixel (a twips value never lies halfway between two).
constexpr int twips(qint64 t) {
    const qint64 magnitude = (t < 0 ? -t : t) + kTwipsPerPixel / 2;
    const qint64 pixels = magnitude / kTwipsPerPixel;
    return int(t < 0 ? -pixels : pixels);
}

// Pixels to twips, held within what a stored 32-bit value can take.
constexpr qint32 twipsFromPixels(qint64 pixels) {
    return qint32(std::clamp<qint64>(pixels * kTwipsPerPixel, std::numeric_limits<qint32>::min(),
                                     std::numeric_limits<qint32>::max()));
}

// A rectangle given in twips, in pixels.
inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}
