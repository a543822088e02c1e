#pragma once

#include "FrameAssembler.h"
#include "OtaStatus.h"
#include "ParamTable.h"
#include "ScopeDecoder.h"

#include <QByteArray>
#include <QObject>
#include <QThread>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct StepRule;

using ScopeBuffers = std::array<ScopeBuffer, ScopeDecoder::Slots>;
Q_DECLARE_METATYPE(const ScopeBuffers*)

// The protocol engine: a step machine that turns requests into frames, waits for the answers in
// its own thread and reports every outcome as a status. All of its state is guarded by one mutex;
// statuses, outgoing bytes and data-tree writes are delivered on the owner's (GUI) thread in the
// order they were produced. The loop runs on a std::thread so that its start and end are
// visible to ThreadSanitizer; the QThread-like start/wait/isRunning keep the usual interface.
// The waiting steps are rows of EngineSteps.h; the step loop, the table-driven waits and delivery
// live in otaThread.cpp, reassembly, framing and dispatch in otaThreadReceive.cpp, and each
// concern's state, start and answers in a file of its own: otaThreadAdapter.cpp (hand-shake,
// scan, announcements), otaThreadMotion.cpp (modes, zero, control, feedback, calibration),
// otaThreadFirmware.cpp, otaThreadParams.cpp and otaThreadScope.cpp.
// Procedures observe the engine through sendState, the ordered status stream.
class otaThread : public QObject
{
    Q_OBJECT
public:
    struct Device
    {
        quint64 mcuId = 0;
        quint8 canId = 0;
    };
    static constexpr int MaxDevices = 14;
    static constexpr quint32 MaxImage = 0x80000;
    // The oscilloscope's stop frame is repeated every 2 ms for at most this long.
    static constexpr int StopLimitMs = 1000;

    // The two switches turn on the frame and the step traces (the owner reads them from the config).
    explicit otaThread(bool debugPack = false, bool debugStep = false, QObject* parent = nullptr);
    ~otaThread() override;

    // Starts the step loop (the thread inherits the caller's priority).
    void start(QThread::Priority priority = QThread::InheritPriority);
    // Waits for the loop to end (after STEP_QUIT).
    void wait();
    bool isRunning() const { return running_.load(); }

    // Thread-safe; from any thread.
    void startStep(quint32 n);
    quint32 step() const;
    quint32 status() const;
    quint32 elapsed() const;

    void setTarget(quint8 canId);
    quint8 target() const;
    void setNewCanId(quint8 canId);
    void setDevice0(quint64 mcuId, quint8 canId); // device table entry 0, selected
    void clearDevices();
    int deviceCount() const;
    Device device(int index) const;
    void setControl(float pos, float vel, float kp, float kd, float torque);
    void setRunMode(quint16 mode);
    quint16 runMode() const;
    void setZeroArg(quint32 first);
    // Sends one frame to the target at once without touching the step.
    void sendFrame(const CanPack& frame);

    MotorFeedback feedback() const;

    // Parameter transfer position and table.
    void setTransfer(int group, quint16 index);
    int transferGroup() const;
    quint16 transferIndex() const;
    quint16 transferCode() const;
    quint32 errorSet() const;
    template <class F>
    auto withParams(F&& f) -> decltype(f(std::declval<ParamTable&>()))
    {
        std::lock_guard<std::mutex> g(m_);
        return f(params_);
    }

    // Oscilloscope.
    void setScopeFrequency(quint16 hz);
    quint16 scopeFrequency() const;
    // Maps the eight slot types onto channels; returns the channel count.
    int configureScopeChannels(const std::array<quint16, ScopeDecoder::Slots>& types);
    int scopeChannelCount() const;
    void setScopeCursor(int position);
    bool scopeRunning() const;
    QVector<quint8> scopeSlots() const;
    bool openSampleFile(const QString& path);
    void closeSampleFile();
    bool sampleSaving() const;
    bool sampleFileOpen() const;
    // Buffers are written only on the owner thread (where received bytes are parsed), so the
    // pointer handed out by scopeToShow is safe to read there.
    const ScopeBuffers* scopeBuffers() const { return &decoder_.buffers(); }
    template <class F>
    auto withScope(F&& f) -> decltype(f(std::declval<const ScopeDecoder&>()))
    {
        std::lock_guard<std::mutex> g(m_);
        return f(decoder_);
    }

    // Firmware.
    void setImage(const QByteArray& image);
    quint32 framesSent() const;
    quint32 frameCount() const;

    // Formatting helpers used by the parameter page.
    static QString typeName(int type) { return CanProtocol::typeName(type); }

signals:
    void sendState(OtaStatus status);
    void WriteToSerial(QByteArray bytes);
    void scopeToShow(const ScopeBuffers* buffers);
    // Destination of the frame sent last / sender of the frame parsed last, when they change.
    void sendCanId(int canId);
    void recvCanId(int canId);

public slots:
    void getSerialData(QByteArray temp);

private:
    Q_INVOKABLE void flush();
    void run();

    struct OutItem
    {
        enum Kind
        {
            Status,
            Write,
            SendId,
            RecvId,
            ScopeNotify
        } kind
            = Status;
        OtaStatus status;
        QByteArray bytes;
        quint8 id = 0;
    };

    // All *Locked members expect m_ held.

    // Step machine (otaThread.cpp): starts, statuses, sending and the table-driven waits.
    void startStepLocked(quint32 n);
    void enterStepLocked(quint32 n);
    bool loopMustWakeLocked(quint32 n) const;
    // Hands out the produced items, then wakes the loop if a step start asked for it.
    void deliverAndWake();
    void setStatusLocked(quint32 code);
    void sendLocked(const CanPack& f);
    void sendRawLocked(const QByteArray& bytes);
    void onAckLocked(quint32 step, const StepRule& rule);
    void onTimeoutLocked(quint32 step, const StepRule& rule);
    // Answers of the motor the current request went to (the sender's CAN ID in bits 15-8).
    bool fromTargetLocked(const CanPack& f) const { return f.src() == target_; }

    // Receive side (otaThreadReceive.cpp): reassembled pieces to the concern that owns them.
    void handlePieceLocked(const QByteArray& piece);
    void parseFrameLocked(const QByteArray& piece, const CanPack& f);
    void matchReplyLocked(const QByteArray& piece, bool isFrame, const CanPack& f);

    // Each concern's start action: false when the start already ended or replaced the step;
    // `next` is the step to wait in (preset to n). Its matcher sets ack_ on the awaited answer.
    bool startAdapterLocked(quint32 n, quint32* next);
    bool startMotionLocked(quint32 n, quint32* next);
    bool startFirmwareLocked(quint32 n, quint32* next);
    bool startParamsLocked(quint32 n, quint32* next);
    bool startScopeLocked(quint32 n, quint32* next);

    // Adapter hand-shake, scan and announcements (otaThreadAdapter.cpp).
    void matchAdapterLocked(quint32 step, const QByteArray& piece, bool isFrame, const CanPack& f);
    void nextConfigLocked(const StepRule& rule);
    void scanOnceLocked();
    void parseAnnounceLocked(const CanPack& f);

    // Feedback, modes, zero, control frames and calibration (otaThreadMotion.cpp).
    void matchMotionLocked(quint32 step, const CanPack& f);
    void sendControlLocked();
    void parseMotionLocked(const CanPack& f);

    // Firmware (otaThreadFirmware.cpp).
    void matchFirmwareLocked(quint32 step, const CanPack& f);

    // Parameters (otaThreadParams.cpp).
    void matchParamsLocked(quint32 step, const CanPack& f);
    void parseParamsLocked(const CanPack& f);
    void parseDescriptionLocked(const CanPack& f);
    void parseReadLocked(const CanPack& f);
    void parseWriteLocked(const CanPack& f);
    void startWriteLocked();
    void sendWriteFrameLocked();

    // Oscilloscope (otaThreadScope.cpp).
    void matchScopeLocked(const CanPack& f);
    void parseScopeLocked(const CanPack& f);
    void sendChannelsLocked();
    void stopTickLocked();

    // Hands produced items to the owner thread: at once when called there, else queued.
    void deliver();

    std::thread loop_;
    std::atomic<bool> running_ {false};
    const bool debugPack_;
    const bool debugStep_;
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::deque<OutItem> out_;
    std::atomic<bool> flushPosted_ {false};
    quint64 gen_ = 0; // bumps on every step start so a sleeping poll knows it was replaced
    // What the loop sleeps in, so a step start wakes it only when it has something to do.
    quint32 loopStep_ = 0;
    bool loopIdle_ = true;
    bool wakeLoop_ = false;

    // The step machine and the link as a whole.
    quint32 status_ = 0;
    quint32 step_ = 0;
    bool ack_ = false;
    quint32 elapsed_ = 0;
    FrameAssembler rx_;
    CanPack lastFrame_;
    quint8 target_ = 1;
    quint8 lastRecvId_ = 0;
    int lastTreeRecvId_ = -1, lastTreeSendId_ = -1;
    quint32 errors_ = 0; // reasons of the last failed read, write, description or scope answer

    // Adapter configuration, the scan for motors and the devices that announced themselves.
    struct AdapterState
    {
        quint8 configIndex = 0; // the configuration command in progress
        std::array<Device, MaxDevices> devices {};
        quint8 deviceCount = 0;
        quint8 selected = 0; // the device whose MCU ID the update, CAN ID and description frames carry
        quint8 newCanId = 1;
        quint8 passCounter = 0, passNumber = 0, lastProbed = 0; // scan order: 16 IDs per pass
        Device announced; // the last announcement
    } link_;

    // Control values sent with the MIT frames, the mode and zero arguments, and what the motor
    // reports back while it runs.
    struct MotionState
    {
        float ctrl[5] = {0, 0, 0, 0, 0}; // position, velocity, kp, kd, torque
        quint16 runMode = 0;
        quint32 zeroArg[2] = {0, 0};
        MotorFeedback feedback;
        quint32 faultWord = 0, warningWord = 0;
    } motion_;

    // Encoder calibration as the motor reports it: progress, result rows and the final offset.
    struct CalibrationState
    {
        float rotorAngle = 0, statorAngle = 0;
        quint16 sensorValue = 0;
        quint16 number = 0, index = 0;
        qint32 correction = 0;
        quint8 canId = 0; // the motor that reported the last row or the offset
        float electricalOffset = 0;
        quint8 hall[8] = {};
    } cali_;

    ParamTable params_;
    // The parameter read or write in progress (also save and factory reset).
    struct ParamTransferState
    {
        int group = 0;
        quint16 index = 0;
        quint16 code = 0;
        quint8 type = 0;
        quint8 motorError = 0; // the motor's error number in the last write answer
        bool resetPending = false; // a factory reset was sent and no other step started since
        int bytesLeft = 0, bytesSent = 0;
        quint8 seq = 0;
        quint8 buf[17] = {};
        int framesRecv = 0;
        struct
        {
            quint8 sub = 0, type = 0, seq = 0;
            quint16 code = 0;
        } lastWrite; // compared with the motor's echo
    } xfer_;

    // Oscilloscope settings, channel set-up and the running mark.
    struct ScopeState
    {
        quint16 frequency = 100;
        quint16 setting2 = 2600, setting3 = 1;
        int count = 0, cursor = 0;
        QVector<quint8> slotList;
        std::array<quint16, ScopeDecoder::Slots> codes {};
        quint16 replyWords[2] = {0, 0};
        bool running = false;
        std::chrono::steady_clock::time_point stopSince;
    } scope_;
    ScopeDecoder decoder_;

    // Firmware transfer: the image, its size when the transfer started, its 8-byte frames and the
    // index of the next frame to send.
    struct FirmwareState
    {
        QByteArray image;
        quint32 size = 0, frameCount = 0, framesSent = 0;
    } fw_;
};
