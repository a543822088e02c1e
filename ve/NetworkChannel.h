#pragma once

#include "VeGlobal.h"

#include <QHostAddress>

namespace ve {

// The two ends of one endpoint: where it is bound and whom it talks to.
class VE_EXPORT NetworkChannel
{
public:
    NetworkChannel() = default;
    NetworkChannel(
        const QHostAddress& local_address, int local_port, const QHostAddress& peer_address, int peer_port);
    NetworkChannel(int local_port, const QHostAddress& peer_address, int peer_port);

    QHostAddress localAddress() const { return m_localAddress; }
    QHostAddress peerAddress() const { return m_peerAddress; }
    int localPort() const { return m_localPort; }
    int peerPort() const { return m_peerPort; }
    void setLocal(const QHostAddress& address, int port);
    void setPeer(const QHostAddress& address, int port);

private:
    QHostAddress m_localAddress = QHostAddress(QHostAddress::Any);
    QHostAddress m_peerAddress;
    int m_localPort = 0;
    int m_peerPort = 0;
};

} // namespace ve

// Carried by the queued connect request.
Q_DECLARE_METATYPE(QHostAddress)
