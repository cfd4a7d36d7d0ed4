#include "text/Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace quorvel {

QByteArray toGbk(const QString& text) {
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

QString fromGbk(const QByteArray& bytes) {
    QStringDecoder decoder("GBK");
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
