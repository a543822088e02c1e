#include "NetworkChannel.h"

namespace ve {

NetworkChannel::NetworkChannel(
    const QHostAddress& local_address, int local_port, const QHostAddress& peer_address, int peer_port)
    : m_localAddress(local_address)
    , m_peerAddress(peer_address)
    , m_localPort(local_port)
    , m_peerPort(peer_port)
{ }

NetworkChannel::NetworkChannel(int local_port, const QHostAddress& peer_address, int peer_port)
    : m_peerAddress(peer_address)
    , m_localPort(local_port)
    , m_peerPort(peer_port)
{ }

void NetworkChannel::setLocal(const QHostAddress& address, int port)
{
    m_localAddress = address;
    m_localPort = port;
}

void NetworkChannel::setPeer(const QHostAddress& address, int port)
{
    m_peerAddress = address;
    m_peerPort = port;
}

} // namespace ve
