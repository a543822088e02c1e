#pragma once

#include "ParamRow.h"

#include <QString>
#include <QVector>

// A parameter backup file: the motor's identity and every row of its table as the table shows
// it (JSON, written by `servobench-cli backup` and read by the CLI and the parameter page).
// Files are input like any other: a broken, foreign or oversized file is refused with a reason.
class ParamBackup
{
public:
    static constexpr qint64 MaxFileSize = 4 * 1024 * 1024;

    struct Entry
    {
        quint16 code = 0;
        int group = -1;
        QString name;
        QString value;
        bool writable = false;
        QString type, property, max, min; // as the table showed them; informative only
    };

    // An entry of the file whose value differs from the motor's (or that the motor lacks).
    struct Difference
    {
        Entry file;
        int motorRow = -1; // position in the motor's rows; -1 when the motor has no such entry
        QString motorValue; // "(none)" when the motor has no such entry
    };

    QString mcuId; // "0x" and the MCU ID in lower-case hexadecimal
    int canId = 0;
    int channelBase = 0;
    QString created; // ISO 8601, UTC
    QVector<Entry> entries;

    static ParamBackup fromRows(const QVector<ParamRow>& rows, quint64 mcuId, int canId, int channelBase);
    // Written whole or not at all: an interrupted backup never replaces a good one.
    bool write(const QString& path, QString* error) const;
    QByteArray toJson() const;
    static bool read(const QString& path, ParamBackup* out, QString* error);
    static bool parse(const QByteArray& json, ParamBackup* out, QString* error);

    // Entries of groups 0 to 2 whose value differs from the motor's rows (matched by code and
    // name); the read-only live values of group 3 change by themselves and are left out.
    QVector<Difference> differences(const QVector<ParamRow>& motorRows) const;
};
