#pragma once
// How stored appearance values map onto widgets.
#include <QColor>
#include <Qt>

namespace quorvel {

// Colours are stored as red + green*256 + blue*65536.
inline QColor colourFromValue(long long value) {
    const auto v = static_cast<unsigned long long>(value);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}
inline long long colourValue(const QColor& c) {
    return c.red() + c.green() * 256LL + c.blue() * 65536LL;
}

// Stored alignments: 0 left, 1 centre, 2 right; text stands vertically centred.
inline Qt::Alignment alignmentFromIndex(int index) {
    switch (index) {
    case 1:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case 2:
        return Qt::AlignRight | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

} // namespace quorvel
