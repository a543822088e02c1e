#pragma once

#include "ScopeDecoder.h"

#include <QStringList>

#include <array>
#include <limits>

class QIODevice;

// Writes oscilloscope samples as CSV rows ("time" and one column per channel) while they arrive:
// each call takes only the points newer than the last row written, so the buffers may be handed
// over as often as they are delivered and a recording of any length costs no memory here.
class CsvCollector
{
public:
    explicit CsvCollector(QIODevice* out);

    // "time" and the channel names, quoted where needed.
    bool writeHeader(const QStringList& channels);
    // Rows for the points of the first listed slot with a key above the last row written and
    // within [from, to]; the other slots' points of the same record sit at the same index.
    bool take(const std::array<ScopeBuffer, ScopeDecoder::Slots>& buffers, const QVector<quint8>& slotList,
        double from = -std::numeric_limits<double>::infinity(),
        double to = std::numeric_limits<double>::infinity());

    qint64 rows() const { return rows_; }
    bool failed() const { return failed_; }
    static QString field(const QString& s);

private:
    bool put(const QByteArray& bytes);

    QIODevice* out_;
    double lastTime_ = -std::numeric_limits<double>::infinity();
    qint64 rows_ = 0;
    bool failed_ = false;
};
