#pragma once
// A picture shown from a file's bytes, with three display modes, four border styles, a
// background colour and an animation switch for animated pictures.
#include <QByteArray>
#include <QColor>
#include <QFrame>
#include <QImage>
#include <QPixmap>

#include <memory>

class QBuffer;
class QMovie;

namespace quorvel {

class PictureBox : public QFrame {
    Q_OBJECT
public:
    enum DisplayMode { TopLeft = 0, Scaled = 1, Centred = 2 };
    enum Border { NoBorder = 0, Sunken = 1, Raised = 2, ShallowSunken = 3 };

    explicit PictureBox(QWidget* parent = nullptr);
    ~PictureBox() override;

    // Bytes that cannot be decoded leave the box without a picture; returns whether one is shown.
    bool setPictureData(const QByteArray& bytes);
    // Reads the whole file; an empty path or an unreadable file gives no picture.
    bool setPictureFile(const QString& path);
    void clearPicture();
    bool hasPicture() const;
    QSize pictureSize() const;

    void setDisplayMode(int mode);
    int displayMode() const { return m_mode; }
    void setBorder(int border);
    int border() const { return m_border; }
    void setBackgroundColour(const QColor& colour);
    QColor backgroundColour() const { return m_background; }
    void setAnimated(bool on);
    bool isAnimated() const { return m_animated; }
    // True while an animated picture is running.
    bool isPlaying() const;
    // The picture has several frames (it plays only while the animation switch is on).
    bool isAnimatedPicture() const;
    int currentFrameNumber() const;
    // The frame on screen, at the picture's own size; null without a picture.
    QImage currentImage() const;

signals:
    // A new frame of an animated picture is on screen.
    void frameChanged(int frameNumber);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void stopMovie();
    QPixmap currentFrame() const;

    QByteArray m_data;
    QPixmap m_still;
    std::unique_ptr<QBuffer> m_buffer;
    std::unique_ptr<QMovie> m_movie;
    int m_mode = TopLeft;
    int m_border = NoBorder;
    bool m_animated = true;
    QColor m_background;
};

} // namespace quorvel
