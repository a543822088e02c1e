// The receive side of the engine: reassembly, frame parsing and reply matching. These run on
// the thread that delivers serial bytes, under the engine's lock.
#include "otaThread.h"

#include "AdapterLink.h"

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
    cv_.notify_all();
    deliver();
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
        if (step_ == STEP_WRITE_PARA_STR && fromTargetLocked(f))
            parseWriteLocked(f);
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

void otaThread::parseReadLocked(const CanPack& f)
{
    quint32 bits = f.ext() == 1 ? 1 : 0;
    const int g = xferGroup_;
    const int i = xferIndex_;
    const int size = CanProtocol::typeSize(f.data[2]);
    const int frames = (size + 3) / 4;
    if (f.u16le(0) != xferCode_) {
        bits |= 16;
    } else {
        const bool textGroup = g == 0 || g == 1;
        const int expected = textGroup ? 10 : (params_.valid(g, i) ? params_.entry(g, i).type : -1);
        if (f.data[2] != expected) {
            bits |= 2;
        } else if (f.data[3] == framesRecv_ && f.data[3] < frames) {
            std::memcpy(xferBuf_ + 4 * f.data[3], f.data + 4, 4);
            ++framesRecv_;
            if (framesRecv_ == frames) {
                if (textGroup && params_.valid(g, i)) {
                    xferBuf_[16] = 0;
                    params_.entry(g, i).valueText
                        = QString::fromUtf8(reinterpret_cast<const char*>(xferBuf_));
                } else if (params_.valid(g, i)) {
                    std::memcpy(params_.entry(g, i).current, xferBuf_, size_t(qMin(size, 8)));
                } else {
                    bits = 1;
                }
            }
        } else {
            bits |= 4;
        }
    }
    if (bits) {
        errors_ = bits;
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_READ_PARA_ERROR);
    } else if (framesRecv_ == frames) {
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_READ_PARA_SUCCESS);
    }
}

void otaThread::parseWriteLocked(const CanPack& f)
{
    const quint8 sub = f.ext() & 3;
    const quint8 errNo = quint8(f.ext() >> 2);
    quint32 bits = 0;
    if (sub != lastWrite_.sub)
        bits = 0x8000;
    else if (f.u16le(0) != lastWrite_.code && sub != 2)
        bits = 0x4000;
    else if (f.data[2] != lastWrite_.type)
        bits = 8;
    else if (f.data[3] != lastWrite_.seq)
        bits = 32;
    else if (errNo != 0)
        bits = 1u << errNo;
    if (bits) {
        errors_ |= bits;
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_WRITE_PARA_ERROR);
    } else if (sub == 2) {
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_SAVE_PARA_SUCCESS);
    } else if (bytesLeft_ > 0) {
        ++seq_;
        sendWriteFrameLocked();
    } else {
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_WRITE_PARA_SUCCESS);
    }
}

void otaThread::parseScopeLocked(const CanPack& f)
{
    const quint8 sub = f.ext() & 3;
    const quint8 err = (f.ext() >> 2) & 3;
    const bool setUp = step_ == STEP_SCOPE_CONFIG && fromTargetLocked(f);
    // Samples keep streaming while other conversations run: they end only the scope's own
    // set-up, and set-up answers count only while it waits for them.
    if (sub == 0 || sub == 1) {
        if (!setUp)
            return;
    } else if (sub == 2 && err == 0) {
        scopeRunning_ = true;
        if (setUp)
            step_ = STEP_STOP;
        if (decoder_.storeFrame(f.ext() >> 4, f.data))
            out_.push_back({OutItem::ScopeNotify, {}, {}, 0});
        return;
    }
    errors_ = 0;
    // The stop step ends when the loop sees that sampling stopped.
    if (setUp)
        step_ = STEP_STOP;
    switch (sub) {
    case 0:
        decoder_.setTickLength(f.f32le(0));
        replyWords_[0] = f.u16le(4);
        replyWords_[1] = f.u16le(6);
        if (err == 0) {
            setStatusLocked(OTA_STA_PARA_UPDATE_SUCCESS_FRESET);
        } else {
            errors_ |= 2;
            setStatusLocked(OTA_STA_PARA_UPDATE_ERROR);
        }
        break;
    case 1:
        decoder_.restartClock();
        if (err == 0) {
            if (scopeCursor_ < scopeCount_) {
                startStepLocked(STEP_SCOPE_SET_CHANNAL);
                break;
            }
            bool mismatch = false;
            for (int k = 0; k < scopeSlotList_.size(); ++k) {
                const quint8 nibble = quint8((f.data[k / 2] >> ((k % 2) * 4)) & 0xF);
                const quint8 slot = scopeSlotList_[k];
                decoder_.setReportedType(slot, nibble);
                if (nibble != decoder_.expectedType(slot))
                    mismatch = true;
            }
            decoder_.startRun(scopeFreq_);
            if (mismatch) {
                errors_ |= 64;
                setStatusLocked(OTA_STA_PARA_UPDATE_ERROR);
            } else {
                setStatusLocked(OTA_STA_PARA_UPDATE_SUCCESS_CHSET);
            }
        } else {
            errors_ |= quint32(2) << err; // 1, 2, 3 -> 4, 8, 16
            setStatusLocked(OTA_STA_PARA_UPDATE_ERROR);
        }
        break;
    case 2:
        scopeRunning_ = true;
        errors_ |= 32;
        setStatusLocked(OTA_STA_PARA_UPDATE_ERROR);
        break;
    case 3:
        scopeRunning_ = false;
        setStatusLocked(OTA_STA_PARA_UPDATE_SUCCESS_END);
        break;
    }
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
    const quint16 a2 = f.area2();
    switch (st) {
    case STEP_IN_OTA:
        if (f.type() == CANCOM_OTA_START && a2 == target_)
            ack_ = true;
        break;
    case STEP_SEND_INFO:
        if (f.type() == CANCOM_OTA_INFO && a2 == target_) {
            ack_ = true;
            setStatusLocked(OTA_STA_OTA_INFO_SUCCESS);
            startStepLocked(STEP_SEND_BIN);
        }
        break;
    case STEP_SEND_BIN:
        if (f.type() == CANCOM_OTA_ING) {
            quint32 code = status_;
            if (a2 == target_) {
                ++framesSent_;
                code = OTA_STA_SEND_BIN_OK;
            } else if (a2 == (target_ | 0xF00)) {
                framesSent_ = f.u16le(0);
                code = OTA_STA_SEND_BIN_RETRY;
            }
            if (framesSent_ >= frameCount_) {
                startStepLocked(STEP_SEND_END);
                setStatusLocked(OTA_STA_SEND_BIN_DONE);
            } else {
                startStepLocked(STEP_SEND_BIN);
                setStatusLocked(code);
            }
        }
        break;
    case STEP_SEND_END:
        if (f.type() == CANCOM_OTA_END) {
            if (a2 == target_) {
                setStatusLocked(OTA_STA_SUCCESS);
            } else if (a2 == (target_ | 0xF00)) {
                framesSent_ = f.u16le(0);
                setStatusLocked(OTA_STA_FAILED);
            }
        }
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
