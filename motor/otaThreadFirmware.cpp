// The engine's firmware transfer: update mode, the size announcement, the image in 8-byte frames
// (the next one when the motor took a frame, the one it names when it asks to resume) and the
// end frame with the motor's verdict.
#include "otaThread.h"

void otaThread::setImage(const QByteArray& image)
{
    std::lock_guard<std::mutex> g(m_);
    fw_.image = image;
}

quint32 otaThread::framesSent() const
{
    std::lock_guard<std::mutex> g(m_);
    return fw_.framesSent;
}

quint32 otaThread::frameCount() const
{
    std::lock_guard<std::mutex> g(m_);
    return fw_.frameCount;
}

bool otaThread::startFirmwareLocked(quint32 n, quint32*)
{
    switch (n) {
    case STEP_IN_OTA:
        sendLocked(CanProtocol::otaStart(target_, link_.devices[link_.selected].mcuId));
        break;
    case STEP_SEND_INFO:
        fw_.size = quint32(fw_.image.size());
        if (fw_.size == 0) {
            step_ = STEP_STOP;
            setStatusLocked(OTA_STA_BINFILE_EMPTY);
            return false;
        }
        if (fw_.size > MaxImage) {
            step_ = STEP_STOP;
            setStatusLocked(OTA_STA_BINFILE_SIZE_OVER_LIMIT);
            return false;
        }
        fw_.frameCount = (fw_.size + 7) / 8;
        fw_.framesSent = 0;
        sendLocked(CanProtocol::otaInfo(target_, fw_.size, fw_.frameCount));
        break;
    case STEP_SEND_BIN: {
        quint8 bytes[8];
        const quint32 at = fw_.framesSent * 8;
        for (quint32 k = 0; k < 8; ++k)
            bytes[k] = at + k < fw_.size && at + k < quint32(fw_.image.size())
                ? quint8(fw_.image[int(at + k)])
                : 0xFF;
        sendLocked(CanProtocol::otaData(target_, quint16(fw_.framesSent), bytes));
        break;
    }
    case STEP_SEND_END:
        sendLocked(CanProtocol::otaEnd(target_, fw_.frameCount));
        break;
    default:
        break;
    }
    return true;
}

void otaThread::matchFirmwareLocked(quint32 st, const CanPack& f)
{
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
                ++fw_.framesSent;
                code = OTA_STA_SEND_BIN_OK;
            } else if (a2 == (target_ | 0xF00)) {
                fw_.framesSent = f.u16le(0);
                code = OTA_STA_SEND_BIN_RETRY;
            }
            if (fw_.framesSent >= fw_.frameCount) {
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
                fw_.framesSent = f.u16le(0);
                setStatusLocked(OTA_STA_FAILED);
            }
        }
        break;
    default:
        break;
    }
}
