// The engine's parameter transfers: the description request, reads of one entry in up to four
// frames, writes of one entry four bytes per acknowledged frame, save and factory reset.
#include "otaThread.h"

#include "AdapterLink.h"
#include "ValueCodec.h"

#include <cstring>

void otaThread::setTransfer(int group, quint16 index)
{
    std::lock_guard<std::mutex> g(m_);
    xferGroup_ = group;
    xferIndex_ = index;
}

int otaThread::transferGroup() const
{
    std::lock_guard<std::mutex> g(m_);
    return xferGroup_;
}

quint16 otaThread::transferIndex() const
{
    std::lock_guard<std::mutex> g(m_);
    return xferIndex_;
}

quint16 otaThread::transferCode() const
{
    std::lock_guard<std::mutex> g(m_);
    return xferCode_;
}

quint32 otaThread::errorSet() const
{
    std::lock_guard<std::mutex> g(m_);
    return errors_;
}

void otaThread::startWriteLocked()
{
    errors_ = 0;
    writeError_ = 0;
    quint32 transferError = 0;
    const int g = xferGroup_;
    const int i = xferIndex_;
    int size = 0;
    if (i >= params_.count(g)) {
        transferError = 1;
    } else if (g == 0) {
        xferType_ = 10;
        size = 16;
        std::memcpy(xferBuf_, params_.entry(0, i).buffer, 16);
    } else if (g == 2) {
        xferType_ = params_.entry(2, i).type;
        size = ValueCodec::typeSize(xferType_);
        std::memcpy(xferBuf_, params_.entry(2, i).buffer, 16);
    } else {
        transferError = 2;
    }
    if (transferError) {
        errors_ |= 1u << transferError;
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_WRITE_PARA_ERROR);
        return;
    }
    xferCode_ = ParamTable::code(g, i);
    seq_ = 0;
    bytesSent_ = 0;
    bytesLeft_ = size;
    sendWriteFrameLocked();
}

void otaThread::sendWriteFrameLocked()
{
    const int n = qMin(bytesLeft_, 4);
    const CanPack f
        = CanProtocol::paramWrite(target_, 0, xferCode_, xferType_, seq_, xferBuf_ + bytesSent_, n);
    bytesSent_ += n;
    bytesLeft_ -= n;
    lastWrite_.sub = 0;
    lastWrite_.code = xferCode_;
    lastWrite_.type = xferType_;
    lastWrite_.seq = seq_;
    sendLocked(f);
}

void otaThread::parseReadLocked(const CanPack& f)
{
    quint32 bits = f.ext() == 1 ? 1 : 0;
    const int g = xferGroup_;
    const int i = xferIndex_;
    const int size = ValueCodec::typeSize(f.data[2]);
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
    quint8 motorError = 0;
    if (sub != lastWrite_.sub)
        bits = 0x8000;
    else if (f.u16le(0) != lastWrite_.code && sub != 2)
        bits = 0x4000;
    else if (f.data[2] != lastWrite_.type)
        bits = 8;
    else if (f.data[3] != lastWrite_.seq)
        bits = 32;
    else if (errNo != 0)
        motorError = errNo; // 6 bits wide: numbers from 32 have no bit in the error set
    if (motorError != 0 && motorError < 32)
        bits = 1u << motorError;
    if (bits || motorError) {
        errors_ |= bits;
        writeError_ = motorError;
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

bool otaThread::startParamsLocked(quint32 n, quint32* next)
{
    switch (n) {
    case STEP_ASK_PARA_STR_INFO:
        params_.beginDescription();
        errors_ = 0;
        sendLocked(CanProtocol::paramDescribe(target_, devices_[selected_].mcuId));
        break;
    case STEP_READ_PARA_STR_START:
        xferGroup_ = 0;
        xferIndex_ = 0;
        Q_FALLTHROUGH();
    case STEP_READ_PARA_STR:
        *next = STEP_READ_PARA_STR;
        xferCode_ = ParamTable::code(xferGroup_, xferIndex_);
        framesRecv_ = 0;
        errors_ = 0;
        std::memset(xferBuf_, 0, sizeof(xferBuf_));
        sendLocked(CanProtocol::paramRead(target_, xferCode_));
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
        xferGroup_ = g;
        xferIndex_ = quint16(i);
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
        writeError_ = 0;
        bytesLeft_ = 0;
        lastWrite_ = {};
        lastWrite_.sub = sub;
        sendLocked(CanProtocol::paramWrite(target_, sub, 0, 0, 0, nullptr, 0));
        *next = n == STEP_SAVE_PARA_STR ? STEP_WRITE_PARA_STR : STEP_STOP;
        break;
    }
    default:
        break;
    }
    return true;
}
