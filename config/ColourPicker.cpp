#include "config/ColourPicker.h"

#include "config/Dialogs.h"
#include "config/Style.h"

#include <QPainter>
#include <QStyleOptionButton>

namespace quorvel {

ColourPicker::ColourPicker(QWidget* parent) : QPushButton(parent) {
    setMinimumSize(24, 18);
    connect(this, &QPushButton::clicked, this, &ColourPicker::chooseColour);
    setColour(m_colour);
}

long long ColourPicker::colourValue() const {
    return quorvel::colourValue(m_colour);
}

void ColourPicker::setColour(const QColor& colour) {
    m_colour = colour.isValid() ? colour.toRgb() : QColor(0, 0, 0);
    m_colour.setAlpha(255);
    setToolTip(QStringLiteral("%1, %2, %3").arg(m_colour.red()).arg(m_colour.green()).arg(m_colour.blue()));
    update();
}

void ColourPicker::setColourValue(long long value) {
    setColour(colourFromValue(value));
}

void ColourPicker::chooseColour() {
    QColor chosen;
    if (!platformDialogs().chooseColour(this, m_colour, &chosen) || !chosen.isValid())
        return;
    setColour(chosen);
    emit colourChanged(m_colour);
}

void ColourPicker::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    // The swatch sits inside the button's bevel.
    QStyleOptionButton option;
    initStyleOption(&option);
    QRect swatch = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).adjusted(2, 2, -2, -2);
    if (swatch.width() < 4 || swatch.height() < 4)
        swatch = rect().adjusted(3, 3, -3, -3);
    QPainter p(this);
    p.fillRect(swatch, m_colour);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawRect(swatch.adjusted(0, 0, -1, -1));
}

} // namespace quorvel
