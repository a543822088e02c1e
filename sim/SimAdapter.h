#pragma once

#include "SimCanFrame.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace sim {

// The USB-CAN adapter: AT command set and the CAN envelope on the serial side.
// Bytes are understood only while the line runs at the adapter's configured rate.
class SimAdapter
{
public:
    struct Result
    {
        std::vector<SimCanFrame> frames; // for the bus
        std::vector<QByteArray> replies; // text answers for the serial line
    };
    using TraceFn = std::function<void(const QString&)>;

    SimAdapter(quint32 configuredBaud, bool silent, TraceFn trace);

    // Bytes received while the client's line is set to lineBaud.
    void receive(const QByteArray& bytes, quint32 lineBaud, Result* result);

    quint32 configuredBaud() const { return baud_; }
    bool inConfigMode() const { return configMode_; }
    quint32 canBaud() const { return canBaud_; }
    // Frames reach the motors only with the bus at 1 Mbit/s and in data mode.
    bool busUsable() const { return canBaud_ == 1000000 && !configMode_; }

private:
    void command(const QByteArray& line, Result* result);
    void parse(Result* result);

    quint32 baud_;
    bool silent_;
    TraceFn trace_;
    bool configMode_ = false;
    quint32 canBaud_ = 1000000;
    int canMode_ = 0;
    QByteArray frameFormat_ = "1,0,1,0";
    QByteArray filter0_ = "1,0,0,0";
    QByteArray buffer_;
};

} // namespace sim
