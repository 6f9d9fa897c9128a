#pragma once

#include <QProcess>
#include <QString>

/// A child process that keeps a file open while the object lives, so that a test can see what
/// another process's open does to its own.
class HoldFile
{
public:
    enum Access { Read, Write, ReadWrite };

    /// Returns once the child has the file open (or has failed to open it: see isHolding()).
    HoldFile(const QString& path, Access access);
    ~HoldFile();
    HoldFile(const HoldFile&) = delete;
    HoldFile& operator=(const HoldFile&) = delete;

    bool isHolding() const { return m_holding; }

private:
    QProcess m_process;
    bool m_holding = false;
};
