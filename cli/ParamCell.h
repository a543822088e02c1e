#pragma once

#include <QString>

// The parameter table's cell rules, shared by `set` and `restore`: what may be edited, how a typed
// text is parsed and checked against the limits, and what would be written.
class ParamCell
{
public:
    enum Verdict
    {
        Modified, // bytes hold the value to write
        Unchanged, // equals the stored value: nothing to write
        Rejected, // note says why; nothing may be written
    };

    struct Result
    {
        Verdict verdict = Rejected;
        QString note; // the cell note a user of the table would see
        QString text; // the value as it will read back (formatted like the table)
        quint8 bytes[17] = {}; // string: up to 16 bytes and a zero; number: the value in its type
    };

    // Group 0 always; group 2 above the configuration entries when its flag bits allow it.
    static bool editable(int group, int index, quint16 channelBase, quint8 flags);
    // "R/W", "RO", "Config" or "Setting", as the table's Property column.
    static QString property(int group, int index, quint16 channelBase, quint8 flags);

    static Result checkString(int index, const QString& text, const QString& stored);
    static Result checkNumber(
        int index, const QString& text, int type, float min, float max, const QString& stored);
};
