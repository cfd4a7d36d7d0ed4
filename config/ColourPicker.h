#pragma once
// A button that shows a colour and lets the operator choose another through the colour dialog.
#include <QColor>
#include <QPushButton>

namespace quorvel {

class ColourPicker : public QPushButton {
    Q_OBJECT
public:
    explicit ColourPicker(QWidget* parent = nullptr);

    QColor colour() const { return m_colour; }
    // Stored form: red + green*256 + blue*65536.
    long long colourValue() const;
    // Shows the colour without reporting a change: only the operator's choice is a change.
    void setColour(const QColor& colour);
    void setColourValue(long long value);

    // Opens the colour dialog; a confirmed choice is shown and reported, even when it is the
    // colour already shown.
    void chooseColour();

signals:
    void colourChanged(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_colour = QColor(0, 0, 0);
};

} // namespace quorvel
