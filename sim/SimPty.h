#pragma once

#include <QString>

namespace sim {

// A pseudo-terminal in raw mode. The slave side stays open here as well, so a client
// may close and reopen the device without the master seeing a hang-up.
class SimPty
{
public:
    SimPty() = default;
    ~SimPty();
    SimPty(const SimPty&) = delete;
    SimPty& operator=(const SimPty&) = delete;

    bool open(quint32 initialBaud, QString* error);
    void close();
    int masterFd() const { return master_; }
    QString slavePath() const { return path_; }
    // The line speed the client set on the device (0 when unknown).
    quint32 lineBaud() const;

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

} // namespace sim
