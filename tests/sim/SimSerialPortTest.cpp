// In-process use through QSerialPort, as the program's integration tests drive it:
// baud search against an adapter at another rate, close and reopen.
#include "SimServer.h"

#include <QElapsedTimer>
#include <QSerialPort>

#include <gtest/gtest.h>

namespace {
QByteArray talk(QSerialPort& p, const QByteArray& bytes, int ms = 300)
{
    p.write(bytes);
    p.waitForBytesWritten(100);
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms && !out.endsWith("\r\n"))
        if (p.waitForReadyRead(20))
            out += p.readAll();
    return out;
}
} // namespace

TEST(SimSerialPort, BaudSearchAndReopenThroughQSerialPort)
{
    sim::SimConfig cfg;
    cfg.adapterBaud = 115200;
    sim::SimServer server(cfg);
    ASSERT_TRUE(server.start());
    const QByteArray probe = QByteArray::fromHex("41540007E80C01000D0A");
    for (int round = 0; round < 2; ++round) {
        QSerialPort port(server.portPath());
        port.setBaudRate(921600);
        ASSERT_TRUE(port.open(QIODevice::ReadWrite)) << port.errorString().toStdString();
        port.clear();
        if (round == 0) {
            EXPECT_EQ(talk(port, "AT+AT\r\n"), QByteArray());
            ASSERT_TRUE(port.setBaudRate(115200));
            EXPECT_EQ(talk(port, "AT+CG\r\n"), QByteArray("OK\r\n"));
            EXPECT_EQ(talk(port, "AT+USART_PARAM=921600,0,0,0\r\n"), QByteArray("OK\r\n"));
            ASSERT_TRUE(port.setBaudRate(921600));
        }
        EXPECT_EQ(talk(port, "AT+AT\r\n"), QByteArray("OK\r\n"));
        const QByteArray ann = talk(port, probe);
        ASSERT_EQ(ann.size(), 17);
        EXPECT_EQ(ann.left(7), QByteArray::fromHex("415400000FEC08"));
        port.close();
    }
    EXPECT_EQ(server.framesReceived(), 2u);
}
