#pragma once
// How stored appearance values map onto widgets.
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>
#include <QWidget>
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

// Text colour of a label (or any control drawing its text in the window-text role).
inline void setTextColour(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    w->setPalette(p);
}
inline QColor textColour(const QWidget* w) {
    return w->palette().color(QPalette::WindowText);
}

// Background of a pane; the pane paints it itself so the colour shows whatever the style does.
inline void setBackgroundColour(QWidget* w, const QColor& colour) {
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(w->backgroundRole(), colour);
    w->setPalette(p);
}
inline QColor backgroundColour(const QWidget* w) {
    return w->palette().color(w->backgroundRole());
}

inline void setFontFace(QWidget* w, const QString& family) {
    QFont f = w->font();
    f.setFamily(family);
    w->setFont(f);
}
// A size of 0 or less is no size: the font keeps the one it has.
inline void setFontPointSize(QWidget* w, int pointSize) {
    if (pointSize <= 0)
        return;
    QFont f = w->font();
    f.setPointSize(pointSize);
    w->setFont(f);
}
inline void setFontBold(QWidget* w, bool bold) {
    QFont f = w->font();
    f.setBold(bold);
    w->setFont(f);
}

} // namespace quorvel
