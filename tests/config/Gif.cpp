#include "tests/config/FakeDialogs.h"

namespace quorvel::test {

namespace {

void put16(QByteArray& out, int v) {
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

// Packs codes of a fixed width, least significant bit first, as GIF image data wants them.
class BitWriter {
public:
    void put(int code, int width) {
        for (int i = 0; i < width; ++i) {
            if (code & (1 << i))
                m_current |= char(1 << m_used);
            if (++m_used == 8)
                flush();
        }
    }
    QByteArray finish() {
        if (m_used)
            flush();
        return m_bytes;
    }

private:
    void flush() {
        m_bytes.append(m_current);
        m_current = 0;
        m_used = 0;
    }
    QByteArray m_bytes;
    char m_current = 0;
    int m_used = 0;
};

} // namespace

QByteArray animatedGif(QSize size, const QList<QColor>& frameColours, int delayHundredths) {
    QList<QColor> palette;
    for (const QColor& c : frameColours)
        if (!palette.contains(c))
            palette.append(c);
    while (palette.size() < 4)
        palette.append(Qt::black);

    QByteArray out("GIF89a");
    put16(out, size.width());
    put16(out, size.height());
    out.append(char(0x91)); // global colour table of 4 entries
    out.append('\0');
    out.append('\0');
    for (int i = 0; i < 4; ++i) {
        out.append(char(palette[i].red()));
        out.append(char(palette[i].green()));
        out.append(char(palette[i].blue()));
    }
    // Loop for ever.
    out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);

    const int pixels = size.width() * size.height();
    for (const QColor& c : frameColours) {
        out.append("\x21\xF9\x04\x00", 4);
        put16(out, delayHundredths);
        out.append('\0');
        out.append('\0');
        out.append(char(0x2C));
        put16(out, 0);
        put16(out, 0);
        put16(out, size.width());
        put16(out, size.height());
        out.append('\0');
        // Minimum code size 2: clear is 4, end is 5. A clear code before every second pixel
        // keeps the code table, and so the code width, from growing past 3 bits.
        out.append(char(2));
        const int index = int(palette.indexOf(c));
        BitWriter bits;
        for (int p = 0; p < pixels; ++p) {
            if (p % 2 == 0)
                bits.put(4, 3);
            bits.put(index, 3);
        }
        bits.put(5, 3);
        const QByteArray data = bits.finish();
        for (qsizetype at = 0; at < data.size(); at += 255) {
            const QByteArray block = data.mid(at, 255);
            out.append(char(block.size()));
            out.append(block);
        }
        out.append('\0');
    }
    out.append(char(0x3B));
    return out;
}

} // namespace quorvel::test
