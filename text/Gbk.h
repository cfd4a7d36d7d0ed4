#pragma once
// Every text the program stores or sends is GBK; these are the only conversions it uses.
#include <QByteArray>
#include <QString>

namespace quorvel {

QByteArray toGbk(const QString& text);
QString fromGbk(const QByteArray& bytes);
QString fromGbk(const char* bytes, qsizetype length);

// True when every character of text has a GBK form (nothing would turn into '?').
bool canEncodeGbk(const QString& text);

// Length of text in GBK bytes.
qsizetype gbkLength(const QString& text);

// Cuts bytes to at most maxBytes without splitting a two-byte character.
QByteArray truncateGbkBytes(const QByteArray& bytes, qsizetype maxBytes);

} // namespace quorvel
