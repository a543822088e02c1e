// The receive side of the engine: reassembly, frame parsing and reply matching. These run on
// the thread that delivers serial bytes, under the engine's lock.
#include "otaThread.h"

#include "AdapterLink.h"
#include "ValueCodec.h"

#include <QDebug>

#include <cstring>

namespace {
QString hexNum(quint32 v)
{
    return QString::number(v, 16);
}
} // namespace

// ---- receiving --------------------------------------------------------------------------------

void otaThread::getSerialData(QByteArray temp)
{
    {
        std::lock_guard<std::mutex> g(m_);
        rx_.feed(temp, [this](const QByteArray& piece) { handlePieceLocked(piece); });
    }
    deliverAndWake();
}

void otaThread::handlePieceLocked(const QByteArray& piece)
{
    CanPack f;
    const bool isFrame = AdapterLink::parseFrame(piece, &f);
    if (isFrame)
        parseFrameLocked(piece, f);
    matchReplyLocked(piece, isFrame, f);
}

void otaThread::parseFrameLocked(const QByteArray& piece, const CanPack& f)
{
    lastFrame_ = f;
    lastRecvId_ = f.src();
    if (lastTreeRecvId_ != f.src()) {
        lastTreeRecvId_ = f.src();
        out_.push_back({OutItem::RecvId, {}, {}, f.src()});
    }
    if (debugPack_)
        qDebug().noquote() << "recv pack <<<<<" << AdapterLink::hex(piece) << "\n<< ex mode"
                           << hexNum(f.type()) << "ex data" << hexNum(f.area2()) << "ex id" << hexNum(f.dst())
                           << "\n<< len" << f.len << "data"
                           << "...";

    switch (f.type()) {
    case CANCOM_ANNOUNCE_DEVID: {
        announced_ = {f.u64le(), f.src()};
        int k = 0;
        while (k < deviceCount_ && devices_[size_t(k)].mcuId != announced_.mcuId)
            ++k;
        if (k < deviceCount_) {
            if (devices_[size_t(k)].canId != announced_.canId) {
                devices_[size_t(k)].canId = announced_.canId;
                devicesChanged_ = true;
            }
        } else if (deviceCount_ < MaxDevices) {
            devices_[deviceCount_++] = announced_;
            devicesChanged_ = true;
        }
        setStatusLocked(OTA_STA_DETECT_MCU);
        break;
    }
    case CANCOM_MOTOR_FEEDBACK:
        feedback_ = CanProtocol::feedback(f);
        setStatusLocked(OTA_STA_MOTOR_FEEDBACK);
        break;
    case CANCOM_MOTOR_CALI:
        if (f.ext() == 0) {
            electricalOffset_ = f.f32le(0);
            caliCanId_ = f.src();
            setStatusLocked(OTA_STA_ENCODER_CALI_DONE);
        } else if (f.ext() == 1) {
            for (int k = 0; k < 6; ++k)
                hall_[k] = quint8((f.data[k] << 4) | (f.data[k] >> 4));
            hall_[6] = f.data[6];
            hall_[7] = f.data[7];
            setStatusLocked(OTA_STA_HALL_CALI_DONE);
        }
        break;
    case CANCOM_PARA_WRITE:
        // A late answer must neither end another step nor continue an abandoned write.
        // The factory reset ends its step at once, but its answer is still the reset's.
        if (fromTargetLocked(f)
            && (step_ == STEP_WRITE_PARA_STR || (xfer_.resetPending && step_ == STEP_STOP))) {
            xfer_.resetPending = false;
            parseWriteLocked(f);
        }
        break;
    case CANCOM_PARA_READ:
        if (step_ == STEP_READ_PARA_STR && fromTargetLocked(f))
            parseReadLocked(f);
        break;
    case CANCOM_PARA_UPDATE:
        parseScopeLocked(f);
        break;
    case CANCOM_PARA_STR_INFO: {
        // Another motor's table (or a late stream) must not mix into the one being loaded.
        if (step_ != STEP_ASK_PARA_STR_INFO || !fromTargetLocked(f))
            break;
        bool ended = false;
        const quint32 bits = params_.describe(f, &ended);
        if (ended) {
            errors_ |= bits;
            setStatusLocked(errors_ ? OTA_STA_GET_PARA_INFO_ERROR : OTA_STA_GET_PARA_INFO_SUCCESS);
            ack_ = true;
        } else {
            errors_ |= bits;
        }
        break;
    }
    case CANCOM_CALI_ING:
        rotorAngle_ = f.f32le(0);
        statorAngle_ = f.f32le(4);
        sensorValue_ = f.area2();
        setStatusLocked(OTA_STA_ENCODER_CALI_ING);
        break;
    case CANCOM_CALI_RST:
        caliNumber_ = f.u16le(0);
        caliIndex_ = f.u16le(2);
        correction_ = qint32(f.u32le(4));
        caliCanId_ = f.src();
        setStatusLocked(OTA_STA_ENCODER_CALI_RESULT);
        break;
    case CANCOM_SDO_WRITE:
        if (f.u16le(0) == CanProtocol::SdoConfirm) {
            if (f.data[4] == 0)
                setStatusLocked(OTA_SDO_WRITE_TYPE0_SUCCESS);
            else if (f.data[4] == 1)
                setStatusLocked(OTA_SDO_WRITE_TYPE1_SUCCESS);
        }
        break;
    case CANCOM_FAULT_WARN:
        if (f.len == 8) {
            faultWord_ = f.u32le(0);
            warningWord_ = f.u32le(4);
            setStatusLocked(OTA_STA_MOTOR_FAULTWARN);
        }
        break;
    default:
        break;
    }
    if (debugPack_)
        qDebug().noquote() << "<<<<< analyze >>>>>" << CanProtocol::comModeName(f.type())
                           << OtaStatus::statusName(status_);
}

void otaThread::matchReplyLocked(const QByteArray& piece, bool isFrame, const CanPack& f)
{
    const quint32 st = step_;
    if (st == STEP_INIT || st == STEP_INCONFIG || st == STEP_CONFIG) {
        if (AdapterLink::isOk(piece))
            ack_ = true;
        return;
    }
    if (!isFrame)
        return;
    if (st == STEP_SET_CAN_ID) {
        // The motor announces itself under its new CAN ID: only its MCU ID tells it apart.
        if (f.type() == CANCOM_ANNOUNCE_DEVID && f.u64le() == devices_[selected_].mcuId)
            ack_ = true;
        return;
    }
    if (f.dst() != CanProtocol::HostId)
        return;
    switch (st) {
    case STEP_IN_OTA:
    case STEP_SEND_INFO:
    case STEP_SEND_BIN:
    case STEP_SEND_END:
        matchFirmwareLocked(st, f);
        break;
    case STEP_SET_RST_MODE:
    case STEP_SET_MOTOR_MODE:
    case STEP_SET_BRAKE_MODE:
    case STEP_SET_CALI_ENCODER_MODE: {
        static const quint8 wanted[] = {0, 2, 3, 1};
        if (f.type() == CANCOM_MOTOR_FEEDBACK && fromTargetLocked(f)
            && ((f.ext() >> 6) & 3) == wanted[st - STEP_SET_RST_MODE])
            ack_ = true;
        break;
    }
    case STEP_SET_ZERO_MECH_MODE:
        if (f.type() == CANCOM_MOTOR_FEEDBACK && fromTargetLocked(f))
            ack_ = true;
        break;
    case STEP_ASK_PARA_STR_INFO:
        if (f.type() == CANCOM_PARA_STR_INFO && fromTargetLocked(f))
            ack_ = true;
        break;
    case STEP_READ_PARA_STR:
        if (f.type() == CANCOM_PARA_READ && fromTargetLocked(f))
            ack_ = true;
        break;
    case STEP_WRITE_PARA_STR:
        if (f.type() == CANCOM_PARA_WRITE && fromTargetLocked(f))
            ack_ = true;
        break;
    case STEP_SCOPE_CONFIG:
        if (f.type() == CANCOM_PARA_UPDATE && fromTargetLocked(f))
            ack_ = true;
        break;
    default:
        break;
    }
}
