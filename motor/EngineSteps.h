#pragma once

#include "OtaStatus.h"

// The waiting steps of the protocol engine, one row each. A step sends its frame or command
// when it starts; the engine's loop then sleeps `sleepMs` per poll and counts `countMs`. When
// the reply matcher has seen the step's answer (ack), `onAck` says what happens; when the count
// exceeds `limitMs`, the step ends (idle) with `timeout`.
//
//   step                    waits for                              poll/limit   ack ->
//   STEP_INIT               "OK" to "AT+AT"                          20/500     ends: connected
//   STEP_INCONFIG           "OK" to "AT+CG"                          20/200     ends: in configuration
//   STEP_CONFIG             "OK" to configuration command n          20/500     next command; after
//                                                                               the fifth ends: configured
//   STEP_IN_OTA             type 11 from the target                 100/8000    moves to STEP_SEND_INFO
//   STEP_SEND_INFO          type 12 from the target                 100/2000    (the matcher starts the
//                                                                               data frames itself)
//   STEP_SET_CAN_ID         the target's announcement (by MCU ID)   100/2000    ends: CAN ID set
//   STEP_SET_*_MODE         target's feedback in the mode state     100/2000    ends: mode set
//   STEP_SET_ZERO_MECH_MODE any feedback of the target              100/2000    ends: zero set
//   STEP_ASK_PARA_STR_INFO  each type-19 frame of the target         50/1000    waits again; the end
//                                                                               frame ends the step
//   STEP_READ_PARA_STR      each type-9 frame of the target          50/1000    waits again (parse ends)
//   STEP_WRITE_PARA_STR     each type-8 frame of the target          50/1000*   waits again (parse ends)
//   STEP_SCOPE_CONFIG       each type-10 set-up answer of the target 50/1000    waits again (parse ends)
//   * 50 ms sleeps counted as 100 ms.
//
// Steps without a row: STEP_STOP idles until a new step starts, and so do the steps that only
// send (STEP_MOTOR_CTRL_SINGLE, STEP_SCOPE_START); STEP_SEND_BIN and STEP_SEND_END are driven
// by the answers alone (no limit); STEP_GET_DEV_INFO sends one probe per cycle and ends after
// ID 127; STEP_MOTOR_CTRL_CONTINUOUS sends a control frame every 50 ms; STEP_SCOPE_STOP repeats
// the stop frame every 2 ms and ends with OTA_STA_PARA_UPDATE_SUCCESS_END when sampling stopped
// (or was not running), or with OTA_STA_PARA_UPDATE_OVER_TIME after otaThread::StopLimitMs.
struct StepRule
{
    enum OnAck
    {
        End, // idle, status `success`
        WaitAgain, // clear ack and the count: the parse routines end the step
        NextConfig, // the next configuration command, or the end after the last one
        EnterTransfer, // STEP_SEND_INFO without sending, status `success`
        Ignore, // the matcher moves on by itself
    };
    quint32 sleepMs;
    quint32 countMs;
    quint32 limitMs;
    OnAck onAck;
    quint32 success;
    quint32 timeout;

    // The row of a waiting step, or nullptr.
    static const StepRule* of(quint32 step);
};
