#include "EngineSteps.h"

namespace {
struct Row
{
    quint32 step;
    StepRule rule;
};

const Row kRows[] = {
    {STEP_INIT, {20, 20, 500, StepRule::End, OTA_STA_CONNECT_SUCCESS, OTA_STA_CONNECT_OVER_TIME}},
    {STEP_INCONFIG, {20, 20, 200, StepRule::End, OTA_STA_INCONFIG_SUCCESS, OTA_STA_INCONFIG_OVER_TIME}},
    {STEP_CONFIG, {20, 20, 500, StepRule::NextConfig, OTA_STA_CONFIG_SUCCESS, OTA_STA_CONFIG_OVER_TIME}},
    {STEP_IN_OTA,
        {100, 100, 8000, StepRule::EnterTransfer, OTA_STA_IN_OTA_MODE_SUCCESS,
            OTA_STA_IN_OTA_MODE_OVER_TIME}},
    {STEP_SEND_INFO, {100, 100, 2000, StepRule::Ignore, 0, OTA_STA_OTA_INFO_OVER_TIME}},
    {STEP_SET_CAN_ID, {100, 100, 2000, StepRule::End, OTA_STA_SET_ID_SUCCESS, OTA_STA_SET_ID_OVER_TIME}},
    {STEP_SET_RST_MODE,
        {100, 100, 2000, StepRule::End, OTA_STA_RST_MODE_SUCCESS, OTA_STA_RST_MODE_OVER_TIME}},
    {STEP_SET_MOTOR_MODE,
        {100, 100, 2000, StepRule::End, OTA_STA_MOTOR_MODE_SUCCESS, OTA_STA_MOTOR_MODE_OVER_TIME}},
    {STEP_SET_BRAKE_MODE,
        {100, 100, 2000, StepRule::End, OTA_STA_BRAKE_MODE_SUCCESS, OTA_STA_BRAKE_MODE_OVER_TIME}},
    {STEP_SET_CALI_ENCODER_MODE,
        {100, 100, 2000, StepRule::End, OTA_STA_CALI_MODE_SUCCESS, OTA_STA_CALI_MODE_OVER_TIME}},
    {STEP_SET_ZERO_MECH_MODE,
        {100, 100, 2000, StepRule::End, OTA_STA_ZERO_MODE_SUCCESS, OTA_STA_ZERO_MODE_OVER_TIME}},
    // The time-out becomes OTA_STA_GET_PARA_INFO_ERROR when the stream recorded errors.
    {STEP_ASK_PARA_STR_INFO, {50, 50, 1000, StepRule::WaitAgain, 0, OTA_STA_GET_PARA_INFO_OVER_TIME}},
    {STEP_READ_PARA_STR, {50, 50, 1000, StepRule::WaitAgain, 0, OTA_STA_READ_PARA_OVER_TIME}},
    {STEP_WRITE_PARA_STR, {50, 100, 1000, StepRule::WaitAgain, 0, OTA_STA_WRITE_PARA_OVER_TIME}},
    {STEP_SCOPE_CONFIG, {50, 50, 1000, StepRule::WaitAgain, 0, OTA_STA_PARA_UPDATE_OVER_TIME}},
};
} // namespace

const StepRule* StepRule::of(quint32 step)
{
    for (const Row& r : kRows)
        if (r.step == step)
            return &r.rule;
    return nullptr;
}
