#pragma once

#include "SimServer.h"
#include "SimTestClient.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include <cmath>
#include <memory>

// A running simulator and a client on its terminal.
struct SimFixture : ::testing::Test
{
    std::unique_ptr<sim::SimServer> server;
    SimTestClient client;

    void startSim(const sim::SimConfig& cfg = sim::SimConfig {}, int clientBaud = 921600)
    {
        server = std::make_unique<sim::SimServer>(cfg);
        QString err;
        ASSERT_TRUE(server->start(&err)) << err.toStdString();
        ASSERT_TRUE(client.open(server->portPath(), clientBaud));
    }

    void TearDown() override
    {
        client.close();
        if (server)
            server->stop();
    }

    // Sends one frame and returns the first answer.
    std::optional<WireFrame> ask(int type, int ext, int dst, const QByteArray& data, int timeoutMs = 1000)
    {
        client.clear();
        if (!client.sendFrame(type, ext, dst, data))
            return std::nullopt;
        return client.nextFrame(timeoutMs);
    }

    // SDO write of a float (index little-endian, value in d4-d7).
    std::optional<WireFrame> sdoFloat(int dst, quint16 index, float v)
    {
        return ask(18, 0, dst, le16(index) + le16(0) + f32le(v));
    }

    // Firmware data frame: the frame index fills bits 23-8; the end frame has zero there.
    std::optional<WireFrame> otaData(int dst, int index, const QByteArray& data)
    {
        client.clear();
        client.send(envelope(canId(13, index >> 8, index & 0xFF, dst), data));
        return client.nextFrame();
    }
    std::optional<WireFrame> otaEnd(int dst, quint32 frames, int timeoutMs = 1000)
    {
        client.clear();
        client.send(envelope(canId(14, 0, 0, dst), le32(frames) + le32(0)));
        return client.nextFrame(timeoutMs);
    }

    int code(const char* name, int motor = 0)
    {
        return server->parameterCode(motor, QString::fromLatin1(name));
    }
    double value(const char* name, int motor = 0)
    {
        return server->parameterValue(motor, quint16(code(name, motor))).toDouble();
    }
};
