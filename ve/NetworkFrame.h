#pragma once

#include "VeGlobal.h"

#include <QByteArray>

namespace ve {

// One frame of the stream: a big-endian 16-bit content length and the content.
class VE_EXPORT NetworkFrame
{
public:
    static constexpr int HeaderSize = 2;
    static constexpr int MaxContentSize = 10240;

    NetworkFrame() = default;
    explicit NetworkFrame(const QByteArray& content);
    virtual ~NetworkFrame();

    QByteArray content() const { return m_content; }
    void setContent(const QByteArray& content) { m_content = content; }

    // True when bytes start with a whole frame of an allowed length.
    virtual bool check(const QByteArray& bytes) const;
    // Empty (with the log warning) when the content exceeds the limit: a longer
    // frame is refused by every receiver and would desynchronise the stream.
    virtual QByteArray serialize() const;
    virtual bool deserialize(const QByteArray& bytes);

    // data cut into pieces of at most MaxContentSize, each made a frame.
    static QByteArray frames(const QByteArray& data);

private:
    QByteArray m_content;
};

} // namespace ve
