#include "config/PictureBox.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QMovie>
#include <QPainter>

namespace quorvel {

namespace {
// Pictures beyond this are not what a title or login picture is; refuse rather than exhaust memory.
constexpr qint64 kMaxPictureBytes = 64 * 1024 * 1024;
} // namespace

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
    setBorder(NoBorder);
}

PictureBox::~PictureBox() {
    stopMovie();
}

void PictureBox::stopMovie() {
    if (m_movie) {
        m_movie->stop();
        m_movie.reset();
    }
    m_buffer.reset();
}

bool PictureBox::setPictureData(const QByteArray& bytes) {
    clearPicture();
    if (bytes.isEmpty() || bytes.size() > kMaxPictureBytes)
        return false;
    m_data = bytes;
    bool animated = false;
    {
        QBuffer probe(&m_data);
        probe.open(QIODevice::ReadOnly);
        QImageReader reader(&probe);
        animated = reader.supportsAnimation() && reader.imageCount() > 1;
    }
    if (animated) {
        m_buffer = std::make_unique<QBuffer>(&m_data);
        m_buffer->open(QIODevice::ReadOnly);
        m_movie = std::make_unique<QMovie>(m_buffer.get());
        // A damaged animation whose first frame does not decode falls back to a still picture.
        if (m_movie->isValid() && m_movie->jumpToFrame(0) && !m_movie->currentPixmap().isNull()) {
            connect(m_movie.get(), &QMovie::frameChanged, this, [this](int n) {
                update();
                emit frameChanged(n);
            });
            if (m_animated)
                m_movie->start();
            update();
            return true;
        }
        stopMovie();
    }
    QPixmap pixmap;
    if (!pixmap.loadFromData(m_data)) {
        m_data.clear();
        update();
        return false;
    }
    m_still = pixmap;
    update();
    return true;
}

bool PictureBox::setPictureFile(const QString& path) {
    if (path.isEmpty()) {
        clearPicture();
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxPictureBytes) {
        clearPicture();
        return false;
    }
    return setPictureData(f.readAll());
}

void PictureBox::clearPicture() {
    stopMovie();
    m_still = QPixmap();
    m_data.clear();
    update();
}

bool PictureBox::hasPicture() const {
    return m_movie || !m_still.isNull();
}

QSize PictureBox::pictureSize() const {
    return currentFrame().size();
}

QPixmap PictureBox::currentFrame() const {
    if (m_movie)
        return m_movie->currentPixmap();
    return m_still;
}

void PictureBox::setDisplayMode(int mode) {
    m_mode = (mode >= TopLeft && mode <= Centred) ? mode : TopLeft;
    update();
}

void PictureBox::setBorder(int border) {
    m_border = (border >= NoBorder && border <= ShallowSunken) ? border : NoBorder;
    switch (m_border) {
    case Sunken:
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(2);
        break;
    case Raised:
        setFrameStyle(QFrame::Panel | QFrame::Raised);
        setLineWidth(2);
        break;
    case ShallowSunken:
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(1);
        break;
    default:
        setFrameStyle(QFrame::NoFrame);
        break;
    }
    update();
}

void PictureBox::setBackgroundColour(const QColor& colour) {
    m_background = colour;
    update();
}

void PictureBox::setAnimated(bool on) {
    m_animated = on;
    if (!m_movie)
        return;
    // Standing still keeps the frame on screen; playing again goes on from it.
    if (on) {
        if (m_movie->state() == QMovie::Paused)
            m_movie->setPaused(false);
        else if (m_movie->state() == QMovie::NotRunning)
            m_movie->start();
    } else if (m_movie->state() == QMovie::Running) {
        m_movie->setPaused(true);
    }
}

bool PictureBox::isPlaying() const {
    return m_movie && m_movie->state() == QMovie::Running;
}

bool PictureBox::isAnimatedPicture() const {
    return m_movie != nullptr;
}

int PictureBox::currentFrameNumber() const {
    return m_movie ? m_movie->currentFrameNumber() : 0;
}

QImage PictureBox::currentImage() const {
    return currentFrame().toImage();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect area = contentsRect();
    if (m_background.isValid())
        p.fillRect(area, m_background);
    const QPixmap frame = currentFrame();
    if (!frame.isNull()) {
        p.setClipRect(area);
        switch (m_mode) {
        case Scaled:
            p.drawPixmap(area, frame);
            break;
        case Centred: {
            QRect r(QPoint(0, 0), frame.size());
            r.moveCenter(area.center());
            p.drawPixmap(r.topLeft(), frame);
            break;
        }
        default:
            p.drawPixmap(area.topLeft(), frame);
            break;
        }
    }
    p.end();
    QFrame::paintEvent(event);
}

} // namespace quorvel
