#include "SimScopeStreamer.h"

#include "SimParamTable.h"

namespace sim {

SimScopeStreamer::SimScopeStreamer(int wrongTypeChannel, TraceFn trace)
    : wrongTypeChannel_(wrongTypeChannel)
    , trace_(std::move(trace))
{ }

void SimScopeStreamer::request(const SimCanFrame& f, quint8 canId, const SimParamTable& table, qint64 nowUs,
    std::vector<SimCanFrame>* out)
{
    const int sub = f.ext() & 3;
    auto reply = [&](int error) {
        SimCanFrame r = SimCanFrame::make(10, quint8((error << 2) | sub), canId, SimCanFrame::HostAddress);
        return r;
    };
    switch (sub) {
    case 0: {
        running_ = false;
        codes_.clear();
        channelCount_ = 0;
        const quint16 freq = f.u16(0);
        if (freq == 0 || freq > MaxFrequency) {
            trace_(QStringLiteral("scope: frequency %1 refused").arg(freq));
            out->push_back(reply(1));
            return;
        }
        frequency_ = freq;
        SimCanFrame r = reply(0);
        // One tick of the record counter is one sample period.
        r.setF32(0, float(1000000.0 / freq));
        r.setU16(4, f.u16(2));
        r.setU16(6, freq);
        trace_(QStringLiteral("scope: %1 Hz").arg(freq));
        out->push_back(r);
        return;
    }
    case 1: {
        const int group = (f.ext() >> 2) & 3;
        const int count = ((f.ext() >> 4) & 0xF) + 1;
        if (frequency_ == 0 || count > 8) {
            out->push_back(reply(3));
            return;
        }
        if (group == 0)
            codes_.clear();
        if (codes_.size() != group * 4) {
            trace_(QStringLiteral("scope: channel group %1 out of order").arg(group));
            out->push_back(reply(2));
            return;
        }
        for (int k = 0; k < 4 && group * 4 + k < count; ++k) {
            const quint16 code = f.u16(2 * k);
            const ParamEntry* e = table.find(code);
            if (!e || (code >> 12) < 2) {
                trace_(QStringLiteral("scope: no such channel code 0x%1").arg(code, 4, 16, QLatin1Char('0')));
                codes_.clear();
                out->push_back(reply(1));
                return;
            }
            codes_.append(code);
        }
        channelCount_ = count;
        SimCanFrame r = reply(0);
        for (int k = 0; k < codes_.size(); ++k) {
            quint8 type = table.find(codes_[k])->type;
            if (k == wrongTypeChannel_)
                type = type == 6 ? 5 : 6; // injected fault
            r.data[k / 2] |= (k % 2) ? quint8(type << 4) : quint8(type & 0xF);
        }
        out->push_back(r);
        return;
    }
    case 2:
        if (frequency_ == 0 || codes_.isEmpty() || codes_.size() != channelCount_) {
            trace_(QStringLiteral("scope: start without channels ignored"));
            return;
        }
        running_ = true;
        index_ = 0;
        startUs_ = nowUs;
        trace_(QStringLiteral("scope: sampling %1 channels").arg(codes_.size()));
        return;
    default:
        if (running_)
            trace_(QStringLiteral("scope: stopped"));
        running_ = false;
        out->push_back(reply(0));
        return;
    }
}

void SimScopeStreamer::sample(quint8 canId, const SimParamTable& table, std::vector<SimCanFrame>* out)
{
    QByteArray record;
    const quint16 counter = quint16(index_);
    record.append(char(counter & 0xFF));
    record.append(char(counter >> 8));
    for (quint16 code : codes_) {
        const ParamEntry* e = table.find(code);
        record.append(e->value.left(SimParamTable::typeSize(e->type)));
    }
    for (int n = 0; n * 8 < record.size(); ++n) {
        SimCanFrame f = SimCanFrame::make(10, quint8((n << 4) | 2), canId, SimCanFrame::HostAddress);
        const QByteArray part = record.mid(n * 8, 8);
        for (int i = 0; i < part.size(); ++i)
            f.data[i] = quint8(part[i]);
        out->push_back(f);
    }
    ++index_;
}

void SimScopeStreamer::skipTo(qint64 nowUs)
{
    // The counter keeps running, so the receiver sees the gap in time.
    const qint64 due = (nowUs - startUs_) * frequency_ / 1000000;
    if (due > index_ + 1)
        index_ = due - 1;
}

} // namespace sim
