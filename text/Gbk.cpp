#include "text/Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace quorvel {

namespace {
bool isAscii(const char* p, qsizetype n) {
    for (qsizetype i = 0; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return false;
    return true;
}
} // namespace

// Converters are costly to create and every record read decodes a dozen texts: keep one per
// thread. Stateless, so nothing carries over from one call to the next.
QByteArray toGbk(const QString& text) {
    thread_local QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

QString fromGbk(const QByteArray& bytes) {
    if (isAscii(bytes.constData(), bytes.size()))
        return QString::fromLatin1(bytes);
    thread_local QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

QString fromGbk(const char* bytes, qsizetype length) {
    return fromGbk(QByteArray(bytes, length));
}

bool canEncodeGbk(const QString& text) {
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    // The default replacement is '?', which hides failures: check the round trip instead.
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return false;
    return fromGbk(bytes) == text;
}

qsizetype gbkLength(const QString& text) {
    return toGbk(text).size();
}

QByteArray truncateGbkBytes(const QByteArray& bytes, qsizetype maxBytes) {
    if (bytes.size() <= maxBytes)
        return bytes;
    qsizetype i = 0;
    while (i < maxBytes) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const qsizetype width = (b >= 0x81 && b <= 0xFE && i + 1 < bytes.size()) ? 2 : 1;
        if (i + width > maxBytes)
            break;
        i += width;
    }
    return bytes.left(i);
}

} // namespace quorvel
