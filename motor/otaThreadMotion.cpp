// The engine's motion concern: mode changes and the mechanical zero (each confirmed by the
// target's feedback), MIT control frames, and what the motor reports while it runs: feedback,
// fault and warning words, parameter confirmations and the encoder calibration.
#include "otaThread.h"

void otaThread::setControl(float pos, float vel, float kp, float kd, float torque)
{
    std::lock_guard<std::mutex> g(m_);
    motion_.ctrl[0] = pos;
    motion_.ctrl[1] = vel;
    motion_.ctrl[2] = kp;
    motion_.ctrl[3] = kd;
    motion_.ctrl[4] = torque;
}

void otaThread::setRunMode(quint16 mode)
{
    std::lock_guard<std::mutex> g(m_);
    motion_.runMode = mode;
}

quint16 otaThread::runMode() const
{
    std::lock_guard<std::mutex> g(m_);
    return motion_.runMode;
}

void otaThread::setZeroArg(quint32 first)
{
    std::lock_guard<std::mutex> g(m_);
    motion_.zeroArg[0] = first;
}

MotorFeedback otaThread::feedback() const
{
    std::lock_guard<std::mutex> g(m_);
    return motion_.feedback;
}

void otaThread::sendControlLocked()
{
    const float* c = motion_.ctrl;
    sendLocked(CanProtocol::mitControl(target_, c[0], c[1], c[2], c[3], c[4]));
}

bool otaThread::startMotionLocked(quint32 n, quint32*)
{
    switch (n) {
    case STEP_SET_RST_MODE:
        sendLocked(CanProtocol::modeChange(CANCOM_MOTOR_RESET, target_));
        break;
    case STEP_SET_MOTOR_MODE:
        sendLocked(CanProtocol::modeChange(CANCOM_MOTOR_IN, target_));
        break;
    case STEP_SET_BRAKE_MODE:
        sendLocked(CanProtocol::modeChange(CANCOM_MOTOR_BRAKE, target_));
        break;
    case STEP_SET_CALI_ENCODER_MODE:
        sendLocked(CanProtocol::modeChange(CANCOM_MOTOR_CALI, target_));
        break;
    case STEP_SET_ZERO_MECH_MODE:
        sendLocked(CanProtocol::mechanicalZero(target_, motion_.zeroArg[0], motion_.zeroArg[1]));
        break;
    case STEP_MOTOR_CTRL_SINGLE:
        sendControlLocked();
        break;
    default:
        break; // continuous control sends from the loop
    }
    return true;
}

void otaThread::matchMotionLocked(quint32 step, const CanPack& f)
{
    if (f.type() != CANCOM_MOTOR_FEEDBACK || !fromTargetLocked(f))
        return;
    if (step == STEP_SET_ZERO_MECH_MODE) {
        ack_ = true;
        return;
    }
    // The mode state in the feedback: reset 0, calibration 1, motor 2, brake 3.
    static const quint8 wanted[] = {0, 2, 3, 1};
    if (((f.ext() >> 6) & 3) == wanted[step - STEP_SET_RST_MODE])
        ack_ = true;
}

void otaThread::parseMotionLocked(const CanPack& f)
{
    switch (f.type()) {
    case CANCOM_MOTOR_FEEDBACK:
        motion_.feedback = CanProtocol::feedback(f);
        setStatusLocked(OTA_STA_MOTOR_FEEDBACK);
        break;
    case CANCOM_FAULT_WARN:
        if (f.len == 8) {
            motion_.faultWord = f.u32le(0);
            motion_.warningWord = f.u32le(4);
            setStatusLocked(OTA_STA_MOTOR_FAULTWARN);
        }
        break;
    case CANCOM_SDO_WRITE:
        if (f.u16le(0) == CanProtocol::SdoConfirm) {
            if (f.data[4] == 0)
                setStatusLocked(OTA_SDO_WRITE_TYPE0_SUCCESS);
            else if (f.data[4] == 1)
                setStatusLocked(OTA_SDO_WRITE_TYPE1_SUCCESS);
        }
        break;
    case CANCOM_MOTOR_CALI:
        if (f.ext() == 0) {
            cali_.electricalOffset = f.f32le(0);
            cali_.canId = f.src();
            setStatusLocked(OTA_STA_ENCODER_CALI_DONE);
        } else if (f.ext() == 1) {
            for (int k = 0; k < 6; ++k)
                cali_.hall[k] = quint8((f.data[k] << 4) | (f.data[k] >> 4));
            cali_.hall[6] = f.data[6];
            cali_.hall[7] = f.data[7];
            setStatusLocked(OTA_STA_HALL_CALI_DONE);
        }
        break;
    case CANCOM_CALI_ING:
        cali_.rotorAngle = f.f32le(0);
        cali_.statorAngle = f.f32le(4);
        cali_.sensorValue = f.area2();
        setStatusLocked(OTA_STA_ENCODER_CALI_ING);
        break;
    case CANCOM_CALI_RST:
        cali_.number = f.u16le(0);
        cali_.index = f.u16le(2);
        cali_.correction = qint32(f.u32le(4));
        cali_.canId = f.src();
        setStatusLocked(OTA_STA_ENCODER_CALI_RESULT);
        break;
    default:
        break;
    }
}
