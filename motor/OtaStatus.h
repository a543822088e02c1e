#pragma once

#include "CanProtocol.h"

#include <QMetaType>
#include <QString>

enum canComStep : quint32
{
    STEP_STOP = 0,
    STEP_INIT,
    STEP_INCONFIG,
    STEP_CONFIG,
    STEP_IN_OTA,
    STEP_SEND_INFO,
    STEP_SEND_BIN,
    STEP_SEND_END,
    STEP_GET_DEV_INFO,
    STEP_SET_CAN_ID,
    STEP_SET_RST_MODE,
    STEP_SET_MOTOR_MODE,
    STEP_SET_BRAKE_MODE,
    STEP_SET_CALI_ENCODER_MODE,
    STEP_SET_ZERO_MECH_MODE,
    STEP_MOTOR_CTRL_SINGLE,
    STEP_MOTOR_CTRL_CONTINUOUS,
    STEP_ASK_PARA_STR_INFO,
    STEP_READ_PARA_STR_START,
    STEP_READ_PARA_STR,
    STEP_WRITE_PARA_STR_START,
    STEP_WRITE_PARA_STR,
    STEP_SAVE_PARA_STR,
    STEP_RECOVER_FAC,
    STEP_SCOPE_SET_FRE,
    STEP_SCOPE_SET_CHANNAL,
    STEP_SCOPE_START,
    STEP_SCOPE_STOP,
    STEP_SCOPE_CONFIG,
    STEP_QUIT,
};

enum otaStatus : quint32
{
    OTA_STA_DETECT_MCU = 0,
    OTA_STA_CONNECT_OVER_TIME,
    OTA_STA_CONNECT_SUCCESS,
    OTA_STA_INCONFIG_OVER_TIME,
    OTA_STA_INCONFIG_SUCCESS,
    OTA_STA_CONFIG_OVER_TIME,
    OTA_STA_CONFIG_SUCCESS,
    OTA_STA_IN_OTA_MODE_OVER_TIME,
    OTA_STA_IN_OTA_MODE_SUCCESS,
    OTA_STA_BINFILE_EMPTY,
    OTA_STA_BINFILE_SIZE_OVER_LIMIT,
    OTA_STA_OTA_INFO_SUCCESS,
    OTA_STA_OTA_INFO_OVER_TIME,
    OTA_STA_SEND_BIN_OK,
    OTA_STA_SEND_BIN_RETRY,
    OTA_STA_SEND_BIN_DONE,
    OTA_STA_SET_ID_SUCCESS,
    OTA_STA_SET_ID_OVER_TIME,
    OTA_STA_RST_MODE_SUCCESS,
    OTA_STA_RST_MODE_OVER_TIME,
    OTA_STA_MOTOR_MODE_SUCCESS,
    OTA_STA_MOTOR_MODE_OVER_TIME,
    OTA_STA_BRAKE_MODE_SUCCESS,
    OTA_STA_BRAKE_MODE_OVER_TIME,
    OTA_STA_CALI_MODE_SUCCESS,
    OTA_STA_CALI_MODE_OVER_TIME,
    OTA_STA_ZERO_MODE_SUCCESS,
    OTA_STA_ZERO_MODE_OVER_TIME,
    OTA_STA_MOTOR_FEEDBACK,
    OTA_STA_MOTOR_FAULTWARN,
    OTA_STA_ENCODER_CALI_ING,
    OTA_STA_ENCODER_CALI_RESULT,
    OTA_STA_ENCODER_CALI_DONE,
    OTA_STA_HALL_CALI_ING,
    OTA_STA_HALL_CALI_RESULT1,
    OTA_STA_HALL_CALI_RESULT2,
    OTA_STA_HALL_CALI_DONE,
    OTA_STA_GET_PARA_INFO_SUCCESS,
    OTA_STA_GET_PARA_INFO_OVER_TIME,
    OTA_STA_GET_PARA_INFO_ERROR,
    OTA_STA_READ_PARA_SUCCESS,
    OTA_STA_READ_PARA_OVER_TIME,
    OTA_STA_READ_PARA_ERROR,
    OTA_STA_WRITE_PARA_SUCCESS,
    OTA_STA_WRITE_PARA_OVER_TIME,
    OTA_STA_WRITE_PARA_ERROR,
    OTA_STA_SAVE_PARA_SUCCESS,
    OTA_STA_PARA_UPDATE_ERROR,
    OTA_STA_PARA_UPDATE_OVER_TIME,
    OTA_STA_PARA_UPDATE_SUCCESS_FRESET,
    OTA_STA_PARA_UPDATE_SUCCESS_CHSET,
    OTA_STA_PARA_UPDATE_SUCCESS_START,
    OTA_STA_PARA_UPDATE_SUCCESS_END,
    OTA_STA_SUCCESS,
    OTA_STA_FAILED,
    OTA_SDO_WRITE_TYPE0_SUCCESS,
    OTA_SDO_WRITE_TYPE1_SUCCESS,
};

// One status of the engine together with the fields its reaction reads, captured when it was set,
// so the reaction can run later on another thread and still see the values of that moment.
struct OtaStatus
{
    quint32 code = 0;
    quint32 step = 0; // the engine's step right after the status was set
    quint8 recvCanId = 0; // sender of the last parsed frame
    quint64 mcuId = 0; // last announcement
    quint8 canId = 0;
    quint32 framesSent = 0, frameCount = 0;
    float rotorAngle = 0, statorAngle = 0;
    quint16 sensorValue = 0;
    quint16 caliNumber = 0, caliIndex = 0;
    qint32 correction = 0;
    quint8 caliCanId = 0;
    float electricalOffset = 0;
    quint16 transferCode = 0;
    quint32 errors = 0;
    quint8 motorError = 0; // the motor's error number in the last write answer (0: none)
    MotorFeedback feedback;
    quint32 faultWord = 0, warningWord = 0;

    static QString statusName(quint32 code); // "<otaStatus> unknown" outside 0..56
    static QString stepName(quint32 step); // "<canComStep> unknown" outside 0..29
};

Q_DECLARE_METATYPE(OtaStatus)
