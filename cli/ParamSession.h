#pragma once

#include "CliStatus.h"

#include <ParamRow.h>

#include <QString>
#include <QVector>

class MotorLink;

// The parameter conversation of one motor through the engine's table: descriptors, the upload
// chain (every value in code order), single reads and writes, the download of modified entries,
// save and factory reset. Each request waits for its answer within the link's limit.
class ParamSession
{
public:
    explicit ParamSession(MotorLink& link);

    CliStatus loadDescriptors();
    CliStatus uploadAll();
    CliStatus read(int group, int index);
    // Checks text with the cell rule of the entry and writes it when it differs.
    // *changed tells whether anything was written.
    CliStatus write(int group, int index, const QString& text, bool* changed = nullptr);
    // Marks an entry for the download after checking text with the cell rule; the note of a
    // rejection comes back as code 2.
    CliStatus stage(int group, int index, const QString& text, bool* staged);
    // Writes every staged entry (group 0 first, then group 2) and saves, going on past refused
    // entries; the motor's reasons for those come back in failed.
    CliStatus download(QStringList* failed);
    CliStatus save();
    CliStatus factoryReset();

    // A code ("0x2005", "0X2005", "8197") or a name; false when the table has no such entry.
    bool find(const QString& key, int* group, int* index) const;
    ParamRow row(int group, int index) const;
    QVector<ParamRow> rows() const;
    quint16 channelBase() const;
    int count(int group) const;
    // The live values the oscilloscope offers, in channel order (channel k is entry k - 1).
    QStringList channelNames() const;

private:
    CliStatus writeAt(int group, int index);
    QString lastErrorOr(const QString& fallback) const;

    MotorLink& link_;
};
