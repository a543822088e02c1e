#pragma once

#include "CanPack.h"

#include <QString>
#include <vector>

// One entry of the motor's self-described parameter table; which fields matter depends on the group.
struct ParamEntry
{
    QString name;
    QString valueText; // groups 0/1: the text value; group 2: the formatted current value
    quint8 buffer[17] = {}; // group 0: string to write; group 2: pending value in its type
    quint8 current[8] = {}; // groups 2/3: the device's value, little-endian
    float max = 0, min = 0;
    quint8 decimals = 0;
    quint8 type = 0; // low five bits of the descriptor's type byte
    quint8 flags = 0; // upper three bits; non-zero means writable
    bool modified = false;
};

// The four parameter groups, the description stream that fills them and the value formatting.
class ParamTable
{
public:
    static constexpr int GroupCount = 4;
    static int groupSize(int group); // 32, 32, 256, 256; 0 otherwise
    static quint16 code(int group, int index) { return quint16((group << 12) | (index & 0xFFF)); }

    ParamTable();

    // Starts a new description stream: counts and order state back to zero, every modified flag
    // cleared (an edit made against the old description must not be written), no describer.
    void beginDescription();
    // Applies one type-19 frame; returns its error bits. *ended is set by the end frame, whose
    // count mismatches are returned as bits 128..1024.
    quint32 describe(const CanPack& f, bool* ended);

    ParamEntry& entry(int group, int index) { return groups_[group][size_t(index)]; }
    const ParamEntry& entry(int group, int index) const { return groups_[group][size_t(index)]; }
    bool valid(int group, int index) const
    {
        return group >= 0 && group < 4 && index >= 0 && index < groupSize(group);
    }
    quint16 count(int group) const { return (group >= 0 && group < 4) ? counts_[group] : 0; }
    void setCount(int group, quint16 n) { counts_[group] = n; }
    quint16 channelBase() const { return channelBase_; }
    // Entries the motor described beyond a group's capacity in the last description; they are
    // not kept (the counts stop at the capacity) and the description ends with an error.
    int dropped(int group) const { return (group >= 0 && group < 4) ? dropped_[group] : 0; }

    // The one table serves every motor in turn: the CAN ID of the motor whose complete
    // description it holds (0 while none), and a number that changes with every new description.
    quint8 describedBy() const { return describedBy_; }
    quint32 generation() const { return generation_; }
    quint8 lastSub() const { return prevS_; }

    // Oscilloscope channel c: parameter code and type code, or 0 and 0.
    void mapChannel(quint16 c, quint16* code, quint8* type) const;

    // Value formatting: integers in decimal, float with 6 decimals, double with 12, else "none".
    static QString valueToText(int type, const quint8* bytes);
    // Limits: integer types without decimals, float/double with the given decimals, else "none".
    static QString limitToText(int type, float value, int decimals);
    // Converts v into the type (integers truncated toward zero and narrowed); returns the text.
    static QString doubleToValue(int type, double v, quint8* bytes);

private:
    std::vector<ParamEntry> groups_[4];
    quint16 counts_[4] = {0, 0, 0, 0};
    quint32 seen_[4] = {0, 0, 0, 0}; // described, including entries beyond the capacity
    int dropped_[4] = {0, 0, 0, 0};
    quint8 describedBy_ = 0;
    quint32 errors_ = 0; // of the running description
    quint32 generation_ = 0;
    quint16 channelBase_ = 0;
    int prevI_ = -1, prevG_ = -1;
    quint8 prevS_ = 0xFF;
    quint8 text_[17] = {};
};
