// The engine's parameter transfers: the description request, reads of one entry in up to four
// frames, writes of one entry four bytes per acknowledged frame, save and factory reset.
#include "otaThread.h"

#include "ValueCodec.h"

#include <cstring>

void otaThread::setTransfer(int group, quint16 index)
{
    std::lock_guard<std::mutex> g(m_);
    xfer_.group = group;
    xfer_.index = index;
}

int otaThread::transferGroup() const
{
    std::lock_guard<std::mutex> g(m_);
    return xfer_.group;
}

quint16 otaThread::transferIndex() const
{
    std::lock_guard<std::mutex> g(m_);
    return xfer_.index;
}

quint16 otaThread::transferCode() const
{
    std::lock_guard<std::mutex> g(m_);
    return xfer_.code;
}

quint32 otaThread::errorSet() const
{
    std::lock_guard<std::mutex> g(m_);
    return errors_;
}

void otaThread::startWriteLocked()
{
    errors_ = 0;
    xfer_.motorError = 0;
    quint32 transferError = 0;
    const int g = xfer_.group;
    const int i = xfer_.index;
    int size = 0;
    if (i >= params_.count(g)) {
        transferError = 1;
    } else if (g == 0) {
        xfer_.type = 10;
        size = 16;
        std::memcpy(xfer_.buf, params_.entry(0, i).buffer, 16);
    } else if (g == 2) {
        xfer_.type = params_.entry(2, i).type;
        size = ValueCodec::typeSize(xfer_.type);
        std::memcpy(xfer_.buf, params_.entry(2, i).buffer, 16);
    } else {
        transferError = 2;
    }
    if (transferError) {
        errors_ |= 1u << transferError;
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_WRITE_PARA_ERROR);
        return;
    }
    xfer_.code = ParamTable::code(g, i);
    xfer_.seq = 0;
    xfer_.bytesSent = 0;
    xfer_.bytesLeft = size;
    sendWriteFrameLocked();
}

void otaThread::sendWriteFrameLocked()
{
    const int n = qMin(xfer_.bytesLeft, 4);
    const CanPack f = CanProtocol::paramWrite(
        target_, 0, xfer_.code, xfer_.type, xfer_.seq, xfer_.buf + xfer_.bytesSent, n);
    xfer_.bytesSent += n;
    xfer_.bytesLeft -= n;
    xfer_.lastWrite.sub = 0;
    xfer_.lastWrite.code = xfer_.code;
    xfer_.lastWrite.type = xfer_.type;
    xfer_.lastWrite.seq = xfer_.seq;
    sendLocked(f);
}

void otaThread::matchParamsLocked(quint32 step, const CanPack& f)
{
    static const quint32 awaited[][2] = {{STEP_ASK_PARA_STR_INFO, CANCOM_PARA_STR_INFO},
        {STEP_READ_PARA_STR, CANCOM_PARA_READ}, {STEP_WRITE_PARA_STR, CANCOM_PARA_WRITE}};
    for (const auto& a : awaited)
        if (a[0] == step && f.type() == a[1] && fromTargetLocked(f))
            ack_ = true;
}

void otaThread::parseParamsLocked(const CanPack& f)
{
    switch (f.type()) {
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
    case CANCOM_PARA_STR_INFO:
        // Another motor's table (or a late stream) must not mix into the one being loaded.
        if (step_ == STEP_ASK_PARA_STR_INFO && fromTargetLocked(f))
            parseDescriptionLocked(f);
        break;
    default:
        break;
    }
}

void otaThread::parseDescriptionLocked(const CanPack& f)
{
    bool ended = false;
    errors_ |= params_.describe(f, &ended);
    if (ended) {
        setStatusLocked(errors_ ? OTA_STA_GET_PARA_INFO_ERROR : OTA_STA_GET_PARA_INFO_SUCCESS);
        ack_ = true;
    }
}

void otaThread::parseReadLocked(const CanPack& f)
{
    quint32 bits = f.ext() == 1 ? 1 : 0;
    const int g = xfer_.group;
    const int i = xfer_.index;
    const int size = ValueCodec::typeSize(f.data[2]);
    const int frames = (size + 3) / 4;
    if (f.u16le(0) != xfer_.code) {
        bits |= 16;
    } else {
        const bool textGroup = g == 0 || g == 1;
        const int expected = textGroup ? 10 : (params_.valid(g, i) ? params_.entry(g, i).type : -1);
        if (f.data[2] != expected) {
            bits |= 2;
        } else if (f.data[3] == xfer_.framesRecv && f.data[3] < frames) {
            std::memcpy(xfer_.buf + 4 * f.data[3], f.data + 4, 4);
            ++xfer_.framesRecv;
            if (xfer_.framesRecv == frames) {
                if (textGroup && params_.valid(g, i)) {
                    xfer_.buf[16] = 0;
                    params_.entry(g, i).valueText
                        = QString::fromUtf8(reinterpret_cast<const char*>(xfer_.buf));
                } else if (params_.valid(g, i)) {
                    std::memcpy(params_.entry(g, i).current, xfer_.buf, size_t(qMin(size, 8)));
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
    } else if (xfer_.framesRecv == frames) {
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_READ_PARA_SUCCESS);
    }
}

void otaThread::parseWriteLocked(const CanPack& f)
{
    const quint8 sub = f.ext() & 3;
    const quint8 errNo = quint8(f.ext() >> 2);
    quint32 bits = 0;
    quint8 motorError = 0;
    if (sub != xfer_.lastWrite.sub)
        bits = 0x8000;
    else if (f.u16le(0) != xfer_.lastWrite.code && sub != 2)
        bits = 0x4000;
    else if (f.data[2] != xfer_.lastWrite.type)
        bits = 8;
    else if (f.data[3] != xfer_.lastWrite.seq)
        bits = 32;
    else if (errNo != 0)
        motorError = errNo; // 6 bits wide: numbers from 32 have no bit in the error set
    if (motorError != 0 && motorError < 32)
        bits = 1u << motorError;
    if (bits || motorError) {
        errors_ |= bits;
        xfer_.motorError = motorError;
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_WRITE_PARA_ERROR);
    } else if (sub == 2) {
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_SAVE_PARA_SUCCESS);
    } else if (xfer_.bytesLeft > 0) {
        ++xfer_.seq;
        sendWriteFrameLocked();
    } else {
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_WRITE_PARA_SUCCESS);
    }
}

bool otaThread::startParamsLocked(quint32 n, quint32* next)
{
    switch (n) {
    case STEP_ASK_PARA_STR_INFO:
        params_.beginDescription();
        errors_ = 0;
        sendLocked(CanProtocol::paramDescribe(target_, link_.devices[link_.selected].mcuId));
        break;
    case STEP_READ_PARA_STR_START:
        xfer_.group = 0;
        xfer_.index = 0;
        Q_FALLTHROUGH();
    case STEP_READ_PARA_STR:
        *next = STEP_READ_PARA_STR;
        xfer_.code = ParamTable::code(xfer_.group, xfer_.index);
        xfer_.framesRecv = 0;
        errors_ = 0;
        std::memset(xfer_.buf, 0, sizeof(xfer_.buf));
        sendLocked(CanProtocol::paramRead(target_, xfer_.code));
        break;
    case STEP_WRITE_PARA_STR_START: {
        int g = 0;
        int i = 0;
        while (i < params_.count(0) && !params_.entry(0, i).modified)
            ++i;
        if (i >= params_.count(0)) {
            g = 2;
            i = 0;
            while (i < params_.count(2) && !params_.entry(2, i).modified)
                ++i;
        }
        xfer_.group = g;
        xfer_.index = quint16(i);
    }
        Q_FALLTHROUGH();
    case STEP_WRITE_PARA_STR:
        *next = STEP_WRITE_PARA_STR;
        step_ = *next;
        startWriteLocked();
        return false;
    case STEP_SAVE_PARA_STR:
    case STEP_RECOVER_FAC: {
        const quint8 sub = n == STEP_SAVE_PARA_STR ? 2 : 3;
        errors_ = 0;
        xfer_.motorError = 0;
        xfer_.bytesLeft = 0;
        xfer_.lastWrite = {};
        xfer_.lastWrite.sub = sub;
        sendLocked(CanProtocol::paramWrite(target_, sub, 0, 0, 0, nullptr, 0));
        *next = n == STEP_SAVE_PARA_STR ? STEP_WRITE_PARA_STR : STEP_STOP;
        break;
    }
    default:
        break;
    }
    return true;
}
