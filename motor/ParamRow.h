#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

class ParamTable;

// One row of the motor's parameter table as every view shows it (the page, its spreadsheet
// export and the command line), and the cell rules that decide what a typed text becomes.
struct ParamRow
{
    int group = 0;
    int index = 0;
    quint16 code = 0;
    QString name;
    QString type; // "String" or the type name
    QString property; // "R/W", "RO", "Config", "Setting"
    QString max, min; // group 2 only
    QString value;
    bool writable = false;

    // The seven columns: code, name, type, property, maximum, minimum, value.
    QStringList cells() const;

    // The row of an entry the table holds (group and index below its count).
    static ParamRow of(const ParamTable& t, int group, int index);
    // Every row in code order.
    static QVector<ParamRow> all(const ParamTable& t);
    // "0X" and four lower-case hexadecimal digits.
    static QString codeText(quint16 code);

    // The data-tree keys of the values the oscilloscope offers, in channel order: the settings
    // above the channel base, then every read-only value. Names come from the motor, so they are
    // made safe as keys (no ".", no leading "#" or "_", never empty) and unique.
    static QStringList channelKeys(const ParamTable& t);
    static QString safeKey(const QString& name, quint16 code);

    // ---- cell rules ----
    enum Verdict
    {
        Modified, // bytes hold the value to write
        Unchanged, // equals the stored value: nothing to write
        Rejected, // note says why; nothing may be written
    };
    struct Check
    {
        Verdict verdict = Rejected;
        QString note; // the cell note a user of the table would see (untranslated)
        QString text; // the value as it will read back (formatted like the table)
        quint8 bytes[17] = {}; // string: up to 16 bytes and a zero; number: the value in its type
    };

    // Group 0 always; group 2 above the configuration entries when its flag bits allow it.
    static bool editable(int group, int index, quint16 channelBase, quint8 flags);
    // "R/W", "RO", "Config" or "Setting", as the Property column.
    static QString propertyText(int group, int index, quint16 channelBase, quint8 flags);

    static Check checkString(int index, const QString& text, const QString& stored);
    // Float and double limits are compared as the table shows them (with `decimals` digits), so
    // the limit a user reads is a value the user may enter.
    static Check checkNumber(
        int index, const QString& text, int type, float min, float max, int decimals, const QString& stored);

    static const char* const NotAscii;
    static const char* const OutOfRange;
};
