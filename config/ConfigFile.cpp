#include "config/ConfigFile.h"

#include "config/RunDirectory.h"
#include "text/Gbk.h"

#include <QFile>
#include <QList>
#include <QSaveFile>

namespace quorvel {

namespace {

// Profile files are small; anything bigger is not ours and is read as missing.
constexpr qint64 kMaxProfileSize = 4 * 1024 * 1024;

QByteArray trimmed(const QByteArray& s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.mid(b, e - b);
}

// Keys and sections compare as the usual profile files do: ASCII letters ignore case.
bool sameName(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

struct Line {
    enum Kind { Other, Section, Key } kind = Other;
    QByteArray name; // section name or key
    QByteArray value;
};

Line classify(const QByteArray& raw) {
    Line line;
    const QByteArray t = trimmed(raw);
    if (t.isEmpty() || t[0] == ';' || t[0] == '#')
        return line;
    if (t[0] == '[') {
        const qsizetype close = t.indexOf(']');
        if (close > 0) {
            line.kind = Line::Section;
            line.name = trimmed(t.mid(1, close - 1));
        }
        return line;
    }
    const qsizetype eq = t.indexOf('=');
    if (eq > 0) {
        line.kind = Line::Key;
        line.name = trimmed(t.left(eq));
        line.value = trimmed(t.mid(eq + 1));
    }
    return line;
}

QList<QByteArray> splitLines(const QByteArray& bytes) {
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QByteArray readFileBytes(const QString& path, bool* exists) {
    QFile f(path);
    *exists = f.exists();
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxProfileSize)
        return {};
    return f.readAll();
}

} // namespace

QString profileValue(const QByteArray& bytes, const QString& section, const QString& key,
                     const QString& defaultValue) {
    const QByteArray wantedSection = toGbk(section);
    const QByteArray wantedKey = toGbk(key);
    bool inSection = false;
    for (const QByteArray& raw : splitLines(bytes)) {
        const Line line = classify(raw);
        if (line.kind == Line::Section)
            inSection = sameName(line.name, wantedSection);
        else if (inSection && line.kind == Line::Key && sameName(line.name, wantedKey))
            return fromGbk(line.value);
    }
    return defaultValue;
}

QByteArray profileWithValue(const QByteArray& bytes, const QString& section, const QString& key,
                            const QString& value) {
    const QByteArray wantedSection = toGbk(section);
    const QByteArray wantedKey = toGbk(key);
    // A value cannot span lines in a profile file.
    QByteArray gbkValue = toGbk(value);
    gbkValue.replace('\r', ' ').replace('\n', ' ');
    const QByteArray newLine = wantedKey + '=' + gbkValue;

    QList<QByteArray> lines = splitLines(bytes);
    // A last line ending in a carriage return is a CRLF file cut short: writing it with LF ends
    // would make a CRLF pair of that return, and the next write would switch every line end.
    const bool crlf = bytes.contains("\r\n") || bytes.endsWith('\r') || bytes.isEmpty();
    const QByteArray eol = crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
    for (QByteArray& l : lines)
        if (l.endsWith('\r'))
            l.chop(1);

    qsizetype sectionAt = -1;
    qsizetype lastInSection = -1;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Line line = classify(lines[i]);
        if (line.kind == Line::Section) {
            inSection = sameName(line.name, wantedSection);
            if (inSection && sectionAt < 0) {
                sectionAt = i;
                lastInSection = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (line.kind == Line::Key && sameName(line.name, wantedKey)) {
            lines[i] = newLine;
            QByteArray out;
            for (const QByteArray& l : lines)
                out += l + eol;
            return out;
        }
        if (line.kind != Line::Other || !trimmed(lines[i]).isEmpty())
            lastInSection = i;
    }
    if (sectionAt < 0) {
        if (!lines.isEmpty() && !trimmed(lines.last()).isEmpty())
            lines.append(QByteArray());
        lines.append('[' + wantedSection + ']');
        lines.append(newLine);
    } else {
        lines.insert(lastInSection + 1, newLine);
    }
    QByteArray out;
    for (const QByteArray& l : lines)
        out += l + eol;
    return out;
}

QString readProfileString(const QString& file, const QString& section, const QString& key,
                          const QString& defaultValue) {
    bool exists = false;
    const QByteArray bytes = readFileBytes(file, &exists);
    if (!exists)
        return defaultValue;
    return profileValue(bytes, section, key, defaultValue);
}

bool writeProfileString(const QString& file, const QString& section, const QString& key,
                        const QString& value) {
    bool exists = false;
    const QByteArray before = readFileBytes(file, &exists);
    const QByteArray after = profileWithValue(before, section, key, value);
    // Write a new file and rename it over the old one, so a crash never leaves half a file.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(after) != after.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

QString settingsFilePath() {
    return runPath(kConfigFileName);
}

QString readSetting(const QString& key, const QString& defaultValue) {
    return readProfileString(settingsFilePath(), kSettingsSection, key, defaultValue);
}

bool writeSetting(const QString& key, const QString& value) {
    return writeProfileString(settingsFilePath(), kSettingsSection, key, value);
}

} // namespace quorvel
