// The receive side of the engine: reassembly of the adapter's records, framing, and dispatch of
// each frame to the concern that parses it and to the matcher of the step that waits. These run
// on the thread that delivers serial bytes, under the engine's lock.
#include "otaThread.h"

#include "AdapterLink.h"

#include <QDebug>

namespace {
QString hexNum(quint32 v)
{
    return QString::number(v, 16);
}
} // namespace

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
    case CANCOM_ANNOUNCE_DEVID:
        parseAnnounceLocked(f);
        break;
    case CANCOM_MOTOR_FEEDBACK:
    case CANCOM_FAULT_WARN:
    case CANCOM_SDO_WRITE:
    case CANCOM_MOTOR_CALI:
    case CANCOM_CALI_ING:
    case CANCOM_CALI_RST:
        parseMotionLocked(f);
        break;
    case CANCOM_PARA_WRITE:
    case CANCOM_PARA_READ:
    case CANCOM_PARA_STR_INFO:
        parseParamsLocked(f);
        break;
    case CANCOM_PARA_UPDATE:
        parseScopeLocked(f);
        break;
    default:
        break; // the firmware answers only drive their steps (below)
    }
    if (debugPack_)
        qDebug().noquote() << "<<<<< analyze >>>>>" << CanProtocol::comModeName(f.type())
                           << OtaStatus::statusName(status_);
}

void otaThread::matchReplyLocked(const QByteArray& piece, bool isFrame, const CanPack& f)
{
    const quint32 st = step_;
    switch (st) {
    case STEP_INIT:
    case STEP_INCONFIG:
    case STEP_CONFIG:
    case STEP_SET_CAN_ID:
        // Adapter answers are text lines; the CAN ID change takes the announcement whatever
        // its destination.
        matchAdapterLocked(st, piece, isFrame, f);
        return;
    default:
        break;
    }
    if (!isFrame || f.dst() != CanProtocol::HostId)
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
    case STEP_SET_CALI_ENCODER_MODE:
    case STEP_SET_ZERO_MECH_MODE:
        matchMotionLocked(st, f);
        break;
    case STEP_ASK_PARA_STR_INFO:
    case STEP_READ_PARA_STR:
    case STEP_WRITE_PARA_STR:
        matchParamsLocked(st, f);
        break;
    case STEP_SCOPE_CONFIG:
        matchScopeLocked(f);
        break;
    default:
        break;
    }
}
