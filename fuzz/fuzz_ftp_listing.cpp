// The FTP listing parsers on any server output: a LIST or MLSD listing split into lines as the
// client splits it, each line parsed by both parsers, and the names matched against patterns.
#include "fuzz/FuzzTarget.h"
#include "update/FtpClient.h"

#include <QDate>

#include <cmath>

using namespace quorvel;

namespace {

void checkEntry(const FtpEntry& e, const QByteArray& line, bool mlsd) {
    FUZZ_CHECK(!e.name.isEmpty());
    FUZZ_CHECK(e.size >= 0);
    FUZZ_CHECK((e.attributes & (FtpClient::AttrDirectory | FtpClient::AttrNormal)) != 0);
    FUZZ_CHECK(std::isfinite(e.time));
    // Lines are split at line feeds. (A name may still end in a carriage return when the bytes
    // after it are not GBK: the decoder drops an unfinished two-byte character.)
    FUZZ_CHECK(!e.name.contains(u'\n'));
    // Line ends do not matter.
    FtpEntry again;
    const QByteArray crlf = line + "\r\n";
    FUZZ_CHECK(mlsd ? parseMlsdLine(crlf, again) : parseListingLine(crlf, again, QDate(2026, 12, 11)));
    FUZZ_CHECK(again.name == e.name && again.size == e.size && again.attributes == e.attributes);
    // Every name matches itself and the catch-all patterns.
    FUZZ_CHECK(matchesFtpPattern(e.name, e.name));
    FUZZ_CHECK(matchesFtpPattern(e.name, QStringLiteral("*")));
    FUZZ_CHECK(matchesFtpPattern(e.name, QStringLiteral("*.*")));
}

} // namespace

QUORVEL_FUZZ_TARGET(ftp_listing) {
    const QByteArray text = fuzz::bytesOf(data, size);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        const QByteArray line = text.mid(start, end - start);
        start = end + 1;
        FtpEntry entry;
        if (parseListingLine(line, entry, QDate(2026, 12, 11)))
            checkEntry(entry, line, false);
        FtpEntry mlsd;
        if (parseMlsdLine(line, mlsd))
            checkEntry(mlsd, line, true);
        // A pattern made of the line's first bytes: the matcher must end on any pair.
        const QString pattern = QString::fromLatin1(line.left(16));
        matchesFtpPattern(QString::fromLatin1(line.mid(16, 64)), pattern);
    }
    return 0;
}
