#include "CsvCollector.h"

#include <QIODevice>

#include <cmath>

CsvCollector::CsvCollector(QIODevice* out)
    : out_(out)
{ }

QString CsvCollector::field(const QString& s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n'))
        && !s.contains(QLatin1Char('\r')))
        return s;
    QString q = s;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

bool CsvCollector::put(const QByteArray& bytes)
{
    if (failed_ || !out_ || out_->write(bytes) != bytes.size())
        failed_ = true;
    return !failed_;
}

bool CsvCollector::writeHeader(const QStringList& channels)
{
    QStringList cells {QStringLiteral("time")};
    for (const QString& c : channels)
        cells << field(c);
    return put((cells.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8());
}

bool CsvCollector::take(const std::array<ScopeBuffer, ScopeDecoder::Slots>& buffers,
    const QVector<quint8>& slotList, double from, double to)
{
    if (slotList.isEmpty() || failed_)
        return !failed_;
    const ScopeBuffer& first = buffers[slotList[0]];
    int k = first.indexAfter(qMax(lastTime_, std::nextafter(from, -std::numeric_limits<double>::infinity())));
    QByteArray chunk;
    for (; k < first.size(); ++k) {
        const double t = first.at(k).key;
        if (t > to)
            break;
        chunk += QByteArray::number(t, 'f', 6);
        for (quint8 slot : slotList) {
            chunk += ',';
            const ScopeBuffer& b = buffers[slot];
            if (k < b.size())
                chunk += QByteArray::number(b.at(k).value, 'g', 15);
        }
        chunk += '\n';
        lastTime_ = t;
        ++rows_;
    }
    return chunk.isEmpty() || put(chunk);
}
