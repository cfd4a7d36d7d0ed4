// The GBK profile reader and writer of the settings file on any bytes: reading every key, and
// writing one, which must read back as written and leave every other key as it was.
#include "fuzz/FuzzTarget.h"
#include "config/ConfigFile.h"
#include "text/Gbk.h"

#include <QStringList>

using namespace quorvel;

namespace {

const QStringList& sections() {
    static const QStringList s = {kSettingsSection, QStringLiteral("更新内容"), QStringLiteral("Other")};
    return s;
}

const QStringList& keys() {
    static const QStringList k = {QStringLiteral("软件启动标语"), QStringLiteral("启动背景"), QStringLiteral("logo背景色"),
                                  QStringLiteral("自动刷卡"),     QStringLiteral("版本号"),   QStringLiteral("更新信息"),
                                  QStringLiteral("KEY")};
    return k;
}

const QString kAbsent = QStringLiteral("\x01absent");

} // namespace

// Input: a section byte, a key byte, a value length byte, the value's GBK bytes, the file.
QUORVEL_FUZZ_TARGET(settings_file) {
    if (size < 3)
        return 0;
    const QString& section = sections()[data[0] % sections().size()];
    const QString& key = keys()[data[1] % keys().size()];
    const std::size_t valueLength = std::min<std::size_t>(data[2] % 40, size - 3);
    const QString value = fromGbk(fuzz::bytesOf(data + 3, valueLength));
    const QByteArray file = fuzz::bytesOf(data + 3 + valueLength, size - 3 - valueLength);

    QStringList before;
    for (const QString& s : sections())
        for (const QString& k : keys())
            before.append(profileValue(file, s, k, kAbsent));

    const QByteArray after = profileWithValue(file, section, key, value);

    // A value is one line, its spaces at either end are not kept, and it is GBK: what the
    // writer was given under those terms reads back exactly.
    QString stored = value;
    stored.replace(u'\r', u' ').replace(u'\n', u' ');
    const bool plain = canEncodeGbk(stored) && stored.trimmed() == stored && !stored.contains(u'\t');
    const QString read = profileValue(after, section, key, kAbsent);
    if (plain)
        FUZZ_CHECK(read == stored);
    else
        FUZZ_CHECK(read != kAbsent);

    // Every other key reads as before.
    int i = 0;
    for (const QString& s : sections())
        for (const QString& k : keys()) {
            if (!(s == section && k == key))
                FUZZ_CHECK(profileValue(after, s, k, kAbsent) == before[i]);
            ++i;
        }
    // Writing the same value again changes nothing more.
    FUZZ_CHECK(profileWithValue(after, section, key, value) == after);
    return 0;
}
