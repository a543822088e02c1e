#include "SimMotor.h"

#include "SimConfig.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sim {

namespace {
constexpr double TwoPi = 6.283185307179586;
constexpr int PolePairs = 14;
constexpr int CalibrationRows = 32;
constexpr qint64 CalibrationProgressUs = 50000;

quint16 toCode(double x, double min, double max)
{
    const float c = float((x - min) * 65535.0 / (max - min));
    return quint16(std::clamp(c, 0.0f, 65535.0f));
}

double fromCode(quint16 code, double min, double max)
{
    return code * (max - min) / 65535.0 + min;
}

quint16 be16(const SimCanFrame& f, int at)
{
    return quint16((f.data[at] << 8) | f.data[at + 1]);
}

void setBe16(SimCanFrame* f, int at, quint16 v)
{
    f->data[at] = quint8(v >> 8);
    f->data[at + 1] = quint8(v);
}
} // namespace

SimMotor::SimMotor(
    quint8 canId, quint64 mcuId, const FaultConfig& faults, int calibrationMs, TraceFn trace, ImageFn image)
    : canId_(canId)
    , mcuId_(mcuId)
    , calibrationMs_(std::max(200, calibrationMs))
    , trace_(std::move(trace))
    , image_(std::move(image))
    , table_(canId)
    , scope_(faults.scopeWrongTypeChannel, trace_)
    , firmware_(faults.firmwareRetryAt, faults.firmwareFailEnd, trace_, faults.firmwareRetryForever,
          faults.firmwareSilentEnd)
{ }

SimCanFrame SimMotor::announcement() const
{
    SimCanFrame f = SimCanFrame::make(0, 0, canId_, SimCanFrame::HostAddress);
    f.setU64(0, mcuId_);
    return f;
}

SimCanFrame SimMotor::feedback() const
{
    SimCanFrame f
        = SimCanFrame::make(2, quint8((faultFlags_ & 0x3F) | (mode_ << 6)), canId_, SimCanFrame::HostAddress);
    setBe16(&f, 0, toCode(rotor_.position(), -12.5, 12.5));
    setBe16(&f, 2, toCode(rotor_.velocity(), -30.0, 30.0));
    setBe16(&f, 4, toCode(rotor_.torque(), -12.0, 12.0));
    setBe16(&f, 6, quint16(std::clamp(rotor_.temperature() * 10.0, 0.0, 65535.0)));
    return f;
}

void SimMotor::setMode(ModeState m)
{
    if (m != mode_)
        trace_(QStringLiteral("motor %1: mode %2 -> %3").arg(canId_).arg(int(mode_)).arg(int(m)));
    if (m != MotorMode)
        jogging_ = false;
    if (m != CalibrationMode)
        caliStartUs_ = -1;
    speedIntegral_ = 0;
    mode_ = m;
}

void SimMotor::handle(const SimCanFrame& f, qint64 nowUs, std::vector<SimCanFrame>* out)
{
    if (f.dst() != canId_)
        return;
    tick(nowUs, out);
    switch (f.type()) {
    case 0:
        out->push_back(announcement());
        return;
    case 1:
        mit(f);
        out->push_back(feedback());
        return;
    case 3:
        if (faultFlags_)
            trace_(QStringLiteral("motor %1: motor mode refused while a fault is present").arg(canId_));
        else if (mode_ != CalibrationMode)
            setMode(MotorMode);
        out->push_back(feedback());
        return;
    case 4:
        if (f.data[0] == 1) {
            if (rotor_.temperature() <= table_.number("motorOverTemp")) {
                faultFlags_ = 0;
                faultWord_ = warnWord_ = 0;
                overTempSinceUs_ = -1;
                trace_(QStringLiteral("motor %1: alarm cleared").arg(canId_));
            }
        }
        setMode(ResetMode);
        out->push_back(feedback());
        return;
    case 20:
        setMode(BrakeMode);
        out->push_back(feedback());
        return;
    case 5:
        if (mode_ != CalibrationMode)
            startCalibration(nowUs);
        out->push_back(feedback());
        return;
    case 6: {
        rotor_.setZero();
        double offset = std::remainder(rotor_.totalAngle(), TwoPi);
        table_.setNumber("MechOffset", -offset);
        trace_(QStringLiteral("motor %1: mechanical zero set").arg(canId_));
        out->push_back(feedback());
        return;
    }
    case 7: {
        const quint8 newId = f.ext();
        if (f.u64(0) != mcuId_ || newId < 1 || newId > 127) {
            trace_(QStringLiteral("motor %1: CAN ID change to %2 refused").arg(canId_).arg(newId));
            return;
        }
        trace_(QStringLiteral("motor %1: CAN ID -> %2").arg(canId_).arg(newId));
        canId_ = newId;
        table_.setNumber("CAN_ID", newId);
        out->push_back(announcement());
        return;
    }
    case 8:
        write(f, out);
        return;
    case 9:
        read(f, out);
        return;
    case 10:
        refreshLive();
        scope_.request(f, canId_, table_, nowUs, out);
        return;
    case 11:
        if (f.u64(0) == mcuId_) {
            setMode(ResetMode);
            firmware_.start(canId_, out);
        } else {
            trace_(QStringLiteral("motor %1: update start for another MCU ID ignored").arg(canId_));
        }
        return;
    case 12:
        firmware_.info(f, canId_, out);
        return;
    case 13:
        firmware_.data(f, canId_, out);
        return;
    case 14: {
        QByteArray image;
        if (firmware_.end(f, canId_, out, &image)) {
            if (image_)
                image_(canId_, image);
            // The motor restarts into the new image and announces itself.
            out->push_back(announcement());
        }
        return;
    }
    case 18:
        sdo(f, out);
        return;
    case 19:
        if (f.u64(0) == mcuId_)
            describe(out);
        else
            trace_(QStringLiteral("motor %1: description request for another MCU ID ignored").arg(canId_));
        return;
    default:
        trace_(QStringLiteral("motor %1: frame type %2 not understood").arg(canId_).arg(f.type()));
        return;
    }
}

void SimMotor::mit(const SimCanFrame& f)
{
    mitTorque_ = fromCode(f.field(), -12.0, 12.0);
    mitPos_ = fromCode(be16(f, 0), -12.5, 12.5);
    mitVel_ = fromCode(be16(f, 2), -30.0, 30.0);
    mitKp_ = fromCode(be16(f, 4), 0.0, 500.0);
    mitKd_ = fromCode(be16(f, 6), 0.0, 5.0);
}

void SimMotor::sdo(const SimCanFrame& f, std::vector<SimCanFrame>* out)
{
    const quint16 index = f.u16(0);
    const float fv = f.f32(4);
    const quint32 uv = f.u32(4);
    quint8 error = 0;
    auto setClamped = [&](const char* name, double v) {
        const ParamEntry* e = table_.find(quint16(table_.codeOf(name)));
        table_.setNumber(name, std::clamp(v, table_.lowLimit(*e), table_.highLimit(*e)));
    };
    switch (index) {
    case 0x7005: {
        const quint8 rm = f.data[4];
        if (rm == 7) {
            const bool on = f.data[5] != 0;
            const double speed = fromCode(be16(f, 6), -30.0, 30.0);
            table_.setNumber("run_mode", 7);
            table_.setNumber("jog_speed", on ? speed : 0.0);
            jogging_ = on;
            if (on && mode_ != MotorMode && !faultFlags_)
                setMode(MotorMode);
            jogging_ = on;
        } else if (rm <= 8) {
            table_.setNumber("run_mode", rm);
            speedIntegral_ = 0;
        } else {
            error = 1;
        }
        break;
    }
    case 0x7001:
        table_.setNumber("sin_enable", uv ? 1 : 0);
        break;
    case 0x7002:
        setClamped("sin_freq", fv);
        break;
    case 0x7003:
        setClamped("sin_amp", fv);
        break;
    case 0x7006:
        setClamped("iq_ref", fv);
        break;
    case 0x7007:
        setClamped("id_ref", fv);
        break;
    case 0x700A:
        setClamped("spd_ref", fv);
        break;
    case 0x700B:
        setClamped("limit_torque", fv);
        break;
    case 0x7012:
        table_.setNumber("zero_sta", uv ? 1 : 0);
        break;
    case 0x7016:
        setClamped("loc_ref", fv);
        break;
    case 0x7017:
        setClamped("limit_spd", std::fabs(fv));
        break;
    case 0x7018:
        setClamped("limit_cur", std::fabs(fv));
        break;
    default:
        error = 1;
        trace_(QStringLiteral("motor %1: no object 0x%2").arg(canId_).arg(index, 4, 16, QLatin1Char('0')));
        break;
    }
    SimCanFrame r = SimCanFrame::make(18, error, canId_, SimCanFrame::HostAddress);
    std::memcpy(r.data, f.data, 8);
    out->push_back(r);
}

void SimMotor::describe(std::vector<SimCanFrame>* out)
{
    refreshLive();
    auto frame = [&](quint8 sub, quint16 code) {
        SimCanFrame f = SimCanFrame::make(19, sub, canId_, SimCanFrame::HostAddress);
        f.setU16(0, code);
        return f;
    };
    auto text = [&](quint8 firstSub, quint16 code, const QByteArray& t) {
        const QByteArray b = t.leftJustified(16, '\0', true);
        for (int k = 0; k < 3; ++k) {
            SimCanFrame f = frame(quint8(firstSub + k), code);
            const int n = k < 2 ? 6 : 4;
            std::memcpy(f.data + 2, b.constData() + 6 * k, size_t(n));
            out->push_back(f);
        }
    };
    for (int g = 0; g < 4; ++g) {
        for (const ParamEntry& e : table_.group(g)) {
            text(0, e.code, e.name);
            if (g < 2) {
                text(6, e.code, e.value);
                continue;
            }
            SimCanFrame lim = frame(3, e.code);
            lim.setU16(2, quint16(e.lo));
            lim.setU16(4, quint16(e.hi));
            lim.data[6] = quint8(e.exp);
            lim.data[7] = quint8((e.type & 0x1F) | (e.flags << 5));
            out->push_back(lim);
            const QByteArray v = e.value.leftJustified(8, '\0', true);
            SimCanFrame first = frame(4, e.code);
            first.data[3] = e.type;
            std::memcpy(first.data + 4, v.constData(), 4);
            out->push_back(first);
            if (SimParamTable::typeSize(e.type) == 8) {
                SimCanFrame second = frame(5, e.code);
                std::memcpy(second.data + 4, v.constData() + 4, 4);
                out->push_back(second);
            }
        }
    }
    SimCanFrame end = frame(9, table_.channelBase());
    end.data[2] = quint8(table_.count(0));
    end.data[3] = quint8(table_.count(1));
    end.setU16(4, quint16(table_.count(2)));
    end.setU16(6, quint16(table_.count(3)));
    out->push_back(end);
}

void SimMotor::read(const SimCanFrame& f, std::vector<SimCanFrame>* out)
{
    const quint16 code = f.u16(0);
    const ParamEntry* e = table_.find(code);
    if (!e) {
        SimCanFrame r = SimCanFrame::make(9, 1, canId_, SimCanFrame::HostAddress);
        r.setU16(0, code);
        out->push_back(r);
        return;
    }
    refreshLive();
    const int size = SimParamTable::typeSize(e->type);
    const QByteArray v = e->value.leftJustified((size + 3) / 4 * 4, '\0', true);
    for (int seq = 0; seq * 4 < size; ++seq) {
        SimCanFrame r = SimCanFrame::make(9, 0, canId_, SimCanFrame::HostAddress);
        r.setU16(0, code);
        r.data[2] = e->type;
        r.data[3] = quint8(seq);
        std::memcpy(r.data + 4, v.constData() + 4 * seq, 4);
        out->push_back(r);
    }
}

void SimMotor::write(const SimCanFrame& f, std::vector<SimCanFrame>* out)
{
    const quint8 sub = f.ext() & 0xFF;
    quint8 error = 0;
    auto answer = [&](quint8 err) {
        SimCanFrame r
            = SimCanFrame::make(8, quint8((err << 2) | (sub & 3)), canId_, SimCanFrame::HostAddress);
        if (sub == 0)
            std::memcpy(r.data, f.data, 4);
        out->push_back(r);
    };
    if (sub == 2) {
        if (mode_ == MotorMode) {
            error = 8; // forbid to save while running
        } else {
            table_.save();
            trace_(QStringLiteral("motor %1: parameters saved").arg(canId_));
        }
        answer(error);
        return;
    }
    if (sub == 3) {
        table_.factoryReset();
        trace_(QStringLiteral("motor %1: factory parameters restored").arg(canId_));
        answer(0);
        return;
    }
    if (sub != 0) {
        answer(10); // no such command
        return;
    }
    const quint16 code = f.u16(0);
    const quint8 type = f.data[2];
    const int seq = f.data[3];
    ParamEntry* e = table_.find(code);
    const int group = code >> 12;
    if (!e)
        error = 1;
    else if (group == 1 || group == 3)
        error = 2;
    else if (type != e->type)
        error = 3;
    else if (seq == 0) {
        writeCode_ = code;
        writeBuf_.clear();
        writeNext_ = 0;
    } else if (code != writeCode_ || seq < writeNext_)
        error = 5;
    else if (seq > writeNext_)
        error = 4;
    const int size = e ? SimParamTable::typeSize(e->type) : 0;
    if (!error && seq * 4 >= size)
        error = 5;
    if (!error) {
        writeBuf_.append(reinterpret_cast<const char*>(f.data + 4), 4);
        writeNext_ = seq + 1;
        if (writeNext_ * 4 >= size) {
            const QByteArray value = writeBuf_.left(size);
            writeNext_ = 0;
            writeBuf_.clear();
            if (group == 2) {
                const double v = SimParamTable::decode(type, value);
                const double lo = table_.lowLimit(*e);
                const double hi = table_.highLimit(*e);
                const double slack = 1e-6 * std::max({1.0, std::fabs(lo), std::fabs(hi)});
                if (!(v >= lo - slack && v <= hi + slack))
                    error = 6;
                else if ((e->flags & SimParamTable::LockedWhileRunning) && mode_ == MotorMode)
                    error = 7;
            }
            if (!error) {
                e->value = value;
                trace_(QStringLiteral("motor %1: %2 written").arg(canId_).arg(QString::fromLatin1(e->name)));
            }
        }
    }
    if (error) {
        writeNext_ = 0;
        writeBuf_.clear();
        trace_(QStringLiteral("motor %1: write of 0x%2 refused with error %3")
                   .arg(canId_)
                   .arg(code, 4, 16, QLatin1Char('0'))
                   .arg(error));
    }
    answer(error);
}

void SimMotor::startCalibration(qint64 nowUs)
{
    setMode(CalibrationMode);
    caliStartUs_ = nowUs;
    caliSent_ = 0;
    trace_(QStringLiteral("motor %1: encoder calibration started").arg(canId_));
}

void SimMotor::calibrationTick(qint64 nowUs, std::vector<SimCanFrame>* out)
{
    const qint64 durationUs = qint64(calibrationMs_) * 1000;
    const int progress = std::max<int>(1, int(durationUs * 7 / 10 / CalibrationProgressUs));
    const qint64 rowsStart = durationUs * 7 / 10;
    const qint64 rowStep = durationUs / 5 / CalibrationRows;
    while (caliStartUs_ >= 0) {
        const int k = caliSent_;
        qint64 at;
        if (k < progress)
            at = (k + 1) * CalibrationProgressUs;
        else if (k < progress + CalibrationRows)
            at = rowsStart + (k - progress) * rowStep;
        else
            at = durationUs;
        if (caliStartUs_ + at > nowUs)
            return;
        ++caliSent_;
        if (k < progress) {
            const double rotorAngle = TwoPi * (k + 1) / progress;
            const double flux = std::fmod(rotorAngle * PolePairs, TwoPi);
            const quint16 sensor = quint16(rotorAngle / TwoPi * 16383.0);
            SimCanFrame f = SimCanFrame::fromMotor(15, sensor);
            f.setF32(0, float(rotorAngle));
            f.setF32(4, float(flux));
            out->push_back(f);
        } else if (k < progress + CalibrationRows) {
            const int i = k - progress;
            SimCanFrame f = SimCanFrame::make(16, 0, canId_, SimCanFrame::HostAddress);
            f.setU16(0, CalibrationRows);
            f.setU16(2, quint16(i));
            const double c = 40.0 * std::sin(TwoPi * i / CalibrationRows)
                + 15.0 * std::cos(2 * TwoPi * i / CalibrationRows);
            f.setU32(4, quint32(qint32(std::lround(c))));
            out->push_back(f);
        } else {
            const float offset = float(0.5 + double(mcuId_ % 1000) / 1000.0 * 5.0);
            table_.setNumber("ElecOffset", offset);
            SimCanFrame f = SimCanFrame::make(5, 0, canId_, SimCanFrame::HostAddress);
            f.setF32(0, offset);
            out->push_back(f);
            trace_(QStringLiteral("motor %1: encoder calibration done, offset %2").arg(canId_).arg(offset));
            setMode(ResetMode);
            out->push_back(feedback());
        }
    }
}

double SimMotor::controlTorque(double t)
{
    const double vel = rotor_.velocity();
    if (mode_ == ResetMode)
        return 0.0;
    if (mode_ == BrakeMode)
        return -3.0 * vel; // windings shorted
    const double kt = table_.number("Kt");
    const double torqueLimit = std::min(table_.number("limit_torque"), table_.number("limit_cur") * kt);
    const double spdKp = table_.number("spd_kp");
    const double spdKi = table_.number("spd_ki");
    const double limitSpd = table_.number("limit_spd");
    auto speedLoop = [&](double target) {
        const double err = target - vel;
        speedIntegral_ = std::clamp(speedIntegral_ + spdKi * err, -torqueLimit, torqueLimit);
        return spdKp * err + speedIntegral_;
    };
    auto positionLoop = [&](double target) {
        const double v
            = std::clamp(table_.number("loc_kp") * (target - rotor_.position()), -limitSpd, limitSpd);
        return speedLoop(v);
    };
    if (mode_ == CalibrationMode)
        return std::clamp(speedLoop(TwoPi / (calibrationMs_ * 0.7e-3)), -2.0, 2.0);

    const double sine = table_.number("sin_enable") != 0.0
        ? table_.number("sin_amp") * std::sin(TwoPi * table_.number("sin_freq") * t)
        : 0.0;
    double tq = 0.0;
    switch (runMode()) {
    case 0:
        tq = mitKp_ * (mitPos_ - rotor_.position()) + mitKd_ * (mitVel_ - vel) + mitTorque_;
        return std::clamp(tq, -12.0, 12.0);
    case 1:
    case 5:
    case 6:
        tq = positionLoop(table_.number("loc_ref") + sine);
        break;
    case 2:
    case 8:
        tq = speedLoop(table_.number("spd_ref") + sine);
        break;
    case 3:
        tq = (table_.number("iq_ref") + sine) * kt;
        break;
    case 4:
        tq = positionLoop(0.0);
        break;
    case 7:
        tq = speedLoop(jogging_ ? table_.number("jog_speed") : 0.0);
        break;
    default:
        break;
    }
    return std::clamp(tq, -torqueLimit, torqueLimit);
}

void SimMotor::step(double dt)
{
    const double t = simUs_ * 1e-6;
    rotor_.step(dt, controlTorque(t), table_.number("Kt"));
}

void SimMotor::refreshLive()
{
    const double total = rotor_.totalAngle();
    const double wrapped = std::fmod(std::fmod(total, TwoPi) + TwoPi, TwoPi);
    table_.setNumber("mechPos", rotor_.position());
    table_.setNumber("mechVel", rotor_.velocity());
    table_.setNumber("iqf", rotor_.current());
    table_.setNumber("idf", mode_ == MotorMode ? table_.number("id_ref") : 0.0);
    table_.setNumber("torque", rotor_.torque());
    table_.setNumber("VBUS", 24.0 - 0.05 * std::fabs(rotor_.current()));
    table_.setNumber("motorTemp", rotor_.temperature());
    table_.setNumber("boardTemp", 27.0 + (rotor_.temperature() - 25.0) * 0.3);
    table_.setNumber(
        "elecAngle", std::fmod(wrapped * PolePairs + table_.number("ElecOffset") + 10 * TwoPi, TwoPi));
    table_.setNumber("faultSta", faultWord_);
    table_.setNumber("warnSta", warnWord_);
    table_.setNumber("modeSta", mode_);
    table_.setNumber("rotation", std::floor(total / TwoPi));
    table_.setNumber("encoderRaw", std::floor(wrapped / TwoPi * 16384.0));
    table_.setNumber("iqRaw", rotor_.current() * 1000.0);
    table_.setNumber("loadRatio", rotor_.torque() / 12.0 * 100.0);
    table_.setNumber("runTime", bootUs_ >= 0 ? double((simUs_ - bootUs_) / 1000) : 0.0);
    table_.setNumber("mechPosTotal", total);
}

QVariant SimMotor::parameterValue(quint16 code)
{
    refreshLive();
    return table_.variant(code);
}

void SimMotor::checkFaults(std::vector<SimCanFrame>* out)
{
    const double limit = table_.number("motorOverTemp");
    const double temp = rotor_.temperature();
    const quint32 oldFault = faultWord_;
    const quint32 oldWarn = warnWord_;
    if (temp > limit - 10.0)
        warnWord_ |= 1;
    if (temp > limit) {
        if (overTempSinceUs_ < 0)
            overTempSinceUs_ = simUs_;
        if (simUs_ - overTempSinceUs_ >= qint64(table_.number("overTempTime")) * 1000) {
            faultWord_ |= 1;
            faultFlags_ |= 1;
        }
    } else {
        overTempSinceUs_ = -1;
    }
    if (faultWord_ != oldFault || warnWord_ != oldWarn) {
        SimCanFrame f = SimCanFrame::make(21, 0, canId_, SimCanFrame::HostAddress);
        f.setU32(0, faultWord_);
        f.setU32(4, warnWord_);
        out->push_back(f);
        if (faultWord_ != oldFault) {
            trace_(QStringLiteral("motor %1: over-temperature fault").arg(canId_));
            setMode(ResetMode);
            out->push_back(feedback());
        }
    }
}

void SimMotor::tick(qint64 nowUs, std::vector<SimCanFrame>* out)
{
    if (simUs_ < 0) {
        simUs_ = bootUs_ = nowUs;
        return;
    }
    const bool active = mode_ != ResetMode || std::fabs(rotor_.velocity()) > 1e-9;
    const qint64 maxStep = mode_ == MotorMode ? 500 : (active ? 1000 : 20000);
    if (scope_.running() && scope_.nextSampleUs() < nowUs - 200000)
        scope_.skipTo(nowUs);
    while (simUs_ < nowUs) {
        qint64 end = std::min(nowUs, simUs_ + maxStep);
        if (scope_.running())
            end = std::min(end, std::max(scope_.nextSampleUs(), simUs_ + 1));
        step((end - simUs_) * 1e-6);
        simUs_ = end;
        if (scope_.running() && scope_.nextSampleUs() <= simUs_) {
            refreshLive();
            scope_.sample(canId_, table_, out);
        }
    }
    if (caliStartUs_ >= 0)
        calibrationTick(nowUs, out);
    checkFaults(out);
}

qint64 SimMotor::nextWakeUs(qint64 nowUs) const
{
    qint64 next = nowUs + 100000;
    if (scope_.running())
        next = std::min(next, scope_.nextSampleUs());
    if (caliStartUs_ >= 0)
        next = std::min(next, nowUs + 5000);
    if (mode_ != ResetMode || std::fabs(rotor_.velocity()) > 1e-9)
        next = std::min(next, nowUs + 5000);
    return next;
}

} // namespace sim
