#include "members/CsvExport.h"

#include "members/MemberTable.h"
#include "text/Gbk.h"

#include <QRegularExpression>
#include <QSaveFile>

namespace quorvel::csv {

namespace {

bool isPlainNumber(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    return number.match(text).hasMatch();
}

bool looksLikeFormula(const QString& text) {
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    return (c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r') &&
           !isPlainNumber(text);
}

// Written in pieces, so that a long history is never held whole in memory.
class Writer {
  public:
    explicit Writer(const QString& path) : m_file(path) {}
    bool open() { return m_file.open(QIODevice::WriteOnly) && m_file.write(kByteOrderMark) == 3; }
    void write(const QStringList& cells) {
        m_buffer += row(cells).toUtf8();
        if (m_buffer.size() > (1 << 16))
            flush();
    }
    bool commit() {
        flush();
        return m_ok && m_file.commit();
    }

  private:
    void flush() {
        m_ok = m_ok && m_file.write(m_buffer) == m_buffer.size();
        m_buffer.clear();
    }
    QSaveFile m_file;
    QByteArray m_buffer;
    bool m_ok = true;
};

} // namespace

QString field(const QString& text) {
    QString out = looksLikeFormula(text) ? QLatin1Char('\'') + text : text;
    if (out.contains(u',') || out.contains(u'"') || out.contains(u'\r') || out.contains(u'\n'))
        out = QLatin1Char('"') + out.replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
    return out;
}

QString row(const QStringList& cells) {
    QString out;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        out += field(cells[i]);
    }
    return out + QStringLiteral("\r\n");
}

bool writeHeaderOnly(const QString& path, const QList<FieldDef>& fields) {
    Writer out(path);
    if (!out.open())
        return false;
    QStringList header;
    for (const FieldDef& f : fields)
        header.append(f.name);
    out.write(header);
    return out.commit();
}

bool exportMembers(const QString& path, int* rows) {
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    if (members::openMemberTableQuietly() != members::OpenResult::Ready)
        return false;
    const QList<FieldDef> fields = store.fields();
    if (fields.isEmpty())
        return false;
    Writer out(path);
    if (!out.open())
        return false;
    // "ID" always holds "0": it tells the reader nothing.
    QStringList header;
    QList<int> columns;
    for (int i = 0; i < fields.size(); ++i) {
        if (fields[i].name == members::kFieldId)
            continue;
        header.append(fields[i].name);
        columns.append(i);
    }
    out.write(header);
    int written = 0;
    const bool read =
        store.readRecords(1, store.recordCount(), [&](int, std::span<const QByteArrayView> values) {
            QStringList cells;
            for (int c : columns)
                cells.append(fromGbk(values[c].toByteArray()));
            out.write(cells);
            ++written;
        });
    if (!read || !out.commit())
        return false;
    if (rows)
        *rows = written;
    return true;
}

bool exportHistory(RecordStore& store, const QString& path, const members::history::Filter& filter,
                   qint64* rows) {
    using namespace members::history;
    Writer out(path);
    if (!out.open())
        return false;
    QStringList header;
    for (const FieldDef& f : historyFields())
        header.append(f.name);
    out.write(header);
    qint64 written = 0;
    const bool read = forEachEntry(store, filter, [&](const QStringList& entry) {
        out.write(entry);
        ++written;
    });
    if (!read || !out.commit())
        return false;
    if (rows)
        *rows = written;
    return true;
}

} // namespace quorvel::csv
