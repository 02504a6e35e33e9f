#pragma once

#include "TableFixtures.h"
#include "core/link/Heartbeat.h"
#include "core/link/ServerWire.h"
#include "wire/Frames.h"

#include <QList>
#include <utility>

// The server's side of the link, in memory: what the client sent, and frames, link ups and
// downs handed to it as the test says.
class MemoryWire final : public ServerWire {
public:
    QList<QByteArray> sent;
    int opens = 0;

    bool isConnected() const override { return m_up; }
    void OpenConnection() override { ++opens; }
    bool Send(const QByteArray& frame) override {
        if (m_up)
            sent.append(frame);
        return m_up;
    }

    void up() {
        m_up = true;
        emit connectedChanged(true);
    }
    void down() {
        m_up = false;
        emit connectedChanged(false);
    }
    void table(const QList<QByteArray>& lines) { emit tableReceived(fixtures::tableFrame(lines)); }
    void answer(const QByteArray& body, const QByteArray& tag = "[___TEST]") {
        emit heartbeatReceived(readHeartbeat(fixtures::answer(body, tag)));
    }
    // Frames sent since the last call.
    QList<QByteArray> take() { return std::exchange(sent, {}); }

private:
    bool m_up = false;
};
