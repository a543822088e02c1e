#pragma once

#include "NetworkPackage.h"

namespace ve {

// A file for the peer: format, append flag, MD5 of the content, target path
// (ASCII, 16-bit length) and the content.
class VE_EXPORT NetworkFilePackage : public NetworkPackage
{
public:
    static constexpr int FixedBodySize = 21;

    NetworkFilePackage() = default;
    NetworkFilePackage(const QString& source_path, const QString& target_path, bool is_append);

    int type() const override;
    // Empty when the target path is not ASCII or too long for its length field.
    QByteArray serialize() const override;
    // Also refuses a content whose MD5 differs from the digest it came with.
    bool deserialize(const QByteArray& bytes) override;
    // The body alone, as the receive path sees it.
    bool deserializeBody(const QByteArray& body);

    QString sourcePath() const { return m_sourcePath; }
    QString targetPath() const { return m_targetPath; }
    bool isAppend() const { return m_append; }
    QByteArray content() const { return m_content; }
    QByteArray digest() const { return m_digest; }
    void setSourcePath(const QString& path) { m_sourcePath = path; }
    void setTargetPath(const QString& path) { m_targetPath = path; }
    void setAppend(bool is_append) { m_append = is_append; }
    void setContent(const QByteArray& content) { m_content = content; }

private:
    QString m_sourcePath;
    QString m_targetPath;
    bool m_append = false;
    QByteArray m_content;
    QByteArray m_digest;
};

} // namespace ve
