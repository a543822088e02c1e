// The engine's adapter hand-shake (probe, configuration mode, the configuration commands), the
// scan for motors, the device table their announcements fill and the CAN ID change.
#include "otaThread.h"

#include "AdapterLink.h"
#include "EngineSteps.h"

void otaThread::setNewCanId(quint8 canId)
{
    std::lock_guard<std::mutex> g(m_);
    link_.newCanId = canId;
}

void otaThread::setDevice0(quint64 mcuId, quint8 canId)
{
    std::lock_guard<std::mutex> g(m_);
    link_.devices[0] = {mcuId, canId};
    if (link_.deviceCount == 0)
        link_.deviceCount = 1;
    link_.selected = 0;
    target_ = canId;
}

void otaThread::clearDevices()
{
    std::lock_guard<std::mutex> g(m_);
    link_.deviceCount = 0;
}

int otaThread::deviceCount() const
{
    std::lock_guard<std::mutex> g(m_);
    return link_.deviceCount;
}

otaThread::Device otaThread::device(int index) const
{
    std::lock_guard<std::mutex> g(m_);
    return (index >= 0 && index < link_.deviceCount) ? link_.devices[size_t(index)] : Device();
}

bool otaThread::startAdapterLocked(quint32 n, quint32*)
{
    switch (n) {
    case STEP_INIT:
        rx_.clear();
        sendRawLocked(AdapterLink::probeCommand());
        break;
    case STEP_INCONFIG:
        rx_.clear();
        link_.configIndex = 0;
        sendRawLocked(AdapterLink::enterConfigCommand());
        break;
    case STEP_CONFIG:
        rx_.clear();
        sendRawLocked(AdapterLink::configCommand(link_.configIndex));
        break;
    case STEP_GET_DEV_INFO:
        link_.passCounter = 0;
        link_.passNumber = 0;
        link_.lastProbed = 0;
        break;
    case STEP_SET_CAN_ID:
        sendLocked(CanProtocol::setCanId(target_, link_.newCanId, link_.devices[link_.selected].mcuId));
        break;
    default:
        break;
    }
    return true;
}

void otaThread::matchAdapterLocked(quint32 step, const QByteArray& piece, bool isFrame, const CanPack& f)
{
    if (step == STEP_SET_CAN_ID) {
        // The motor announces itself under its new CAN ID: only its MCU ID tells it apart.
        if (isFrame && f.type() == CANCOM_ANNOUNCE_DEVID && f.u64le() == link_.devices[link_.selected].mcuId)
            ack_ = true;
    } else if (AdapterLink::isOk(piece)) {
        ack_ = true;
    }
}

void otaThread::nextConfigLocked(const StepRule& rule)
{
    ++link_.configIndex;
    if (link_.configIndex >= AdapterLink::ConfigCommandCount) {
        step_ = STEP_STOP;
        setStatusLocked(rule.success);
    } else {
        startStepLocked(STEP_CONFIG);
    }
}

void otaThread::scanOnceLocked()
{
    // Pass p probes p, p+8, p+16, ... one ID per cycle; the scan ends at the first ID past 127.
    if (link_.passCounter % 16 == 0) {
        ++link_.passNumber;
        link_.passCounter = 0;
    }
    const quint8 id = quint8((link_.passCounter * 8 + link_.passNumber) % 256);
    ++link_.passCounter;
    link_.lastProbed = id;
    if (id <= 127)
        sendLocked(CanProtocol::discovery(id));
    else
        step_ = STEP_STOP;
}

void otaThread::parseAnnounceLocked(const CanPack& f)
{
    link_.announced = {f.u64le(), f.src()};
    int k = 0;
    while (k < link_.deviceCount && link_.devices[size_t(k)].mcuId != link_.announced.mcuId)
        ++k;
    if (k < link_.deviceCount)
        link_.devices[size_t(k)].canId = link_.announced.canId;
    else if (link_.deviceCount < MaxDevices)
        link_.devices[link_.deviceCount++] = link_.announced;
    setStatusLocked(OTA_STA_DETECT_MCU);
}
