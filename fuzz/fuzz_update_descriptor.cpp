// The update descriptor as the update check reads it: any downloaded gx.ini against any accepted
// one, every key read, the versions compared, the notes assembled.
#include "fuzz/FuzzTarget.h"
#include "config/ConfigFile.h"
#include "text/Numbers.h"
#include "update/UpdateCheck.h"

#include <cmath>

using namespace quorvel;

// Input: the downloaded descriptor, a zero byte, the accepted one (none without the zero byte).
QUORVEL_FUZZ_TARGET(update_descriptor) {
    const QByteArray all = fuzz::bytesOf(data, size);
    const qsizetype cut = all.indexOf('\0');
    const QByteArray downloaded = cut < 0 ? all : all.left(cut);
    const QByteArray accepted = cut < 0 ? QByteArray() : all.mid(cut + 1);

    const QString offered = profileValue(downloaded, kDescriptorSection, kDescriptorVersionKey, QString());
    const QString current = profileValue(accepted, kDescriptorSection, kDescriptorVersionKey, QString());
    const bool newer = isNewerVersion(offered, current);
    // The comparison is of numbers: never both ways, and a version is never newer than itself.
    FUZZ_CHECK(!(newer && isNewerVersion(current, offered)));
    FUZZ_CHECK(!isNewerVersion(offered, offered));
    const double number = textToNumber(offered);
    FUZZ_CHECK(!std::isnan(number));

    QString notes = newer ? QStringLiteral("发现新版本，主要更新如下：") : QStringLiteral("没有发现新版本，上次主要更新如下：");
    for (const QString& key : {kDescriptorVersionKey, kDescriptorDateKey, kDescriptorNotesKey, kDescriptorAddressKey}) {
        const QString value = profileValue(downloaded, kDescriptorSection, key, QString());
        // A value never spans lines of the file.
        FUZZ_CHECK(!value.contains(u'\n'));
        notes += QStringLiteral("\r\n\r\n") + value;
    }
    FUZZ_CHECK(notes.size() <= downloaded.size() * 2 + 64);
    return 0;
}
