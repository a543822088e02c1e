#pragma once

#include <QByteArray>
#include <QHash>
#include <QVariant>

#include <array>
#include <vector>

namespace sim {

struct ParamEntry
{
    quint16 code = 0; // group << 12 | index
    QByteArray name; // at most 16 bytes
    quint8 type = 10; // value type code; 10 = text of 16 bytes
    qint16 lo = 0; // limits as raw x 10^exp
    qint16 hi = 0;
    qint8 exp = 0;
    quint8 flags = 0; // three flag bits, see SimParamTable::Flag
    QByteArray value; // typeSize(type) bytes, little-endian
    QByteArray saved; // value restored at power-up (non-volatile copy)
    QByteArray factory;
};

// The motor's self-described parameter table: writable texts (group 0), read-only
// texts (1), settings with limits (2), read-only values (3). Group 2 holds the
// configuration up to the channel base and the live set-points above it.
class SimParamTable
{
public:
    enum Flag : quint8
    {
        Persistent = 1, // kept by "save"
        LockedWhileRunning = 2, // may not change in motor mode
        AfterRestart = 4, // takes effect at the next power-up
    };
    static constexpr int GroupSize[4] = {32, 32, 256, 256};

    explicit SimParamTable(quint8 canId, int extraTexts = 0);

    static int typeSize(quint8 type);
    static QByteArray encode(quint8 type, double v);
    static double decode(quint8 type, const QByteArray& bytes);

    const std::vector<ParamEntry>& group(int g) const { return groups_[g]; }
    int count(int g) const { return int(groups_[g].size()); }
    quint16 channelBase() const { return channelBase_; }

    ParamEntry* find(quint16 code);
    const ParamEntry* find(quint16 code) const;
    int codeOf(const QByteArray& name) const; // -1 when unknown

    double number(const QByteArray& name) const;
    void setNumber(const QByteArray& name, double v);
    QVariant variant(quint16 code) const;

    double lowLimit(const ParamEntry& e) const;
    double highLimit(const ParamEntry& e) const;

    void save(); // copies persistent values to the non-volatile store
    void factoryReset(); // restores factory values to the store and to the live values

private:
    void addText(int g, const char* name, const char* text);
    void addValue(
        int g, const char* name, quint8 type, qint16 lo, qint16 hi, qint8 exp, quint8 flags, double value);

    std::array<std::vector<ParamEntry>, 4> groups_;
    QHash<QByteArray, quint16> byName_;
    quint16 channelBase_ = 0;
};

} // namespace sim
