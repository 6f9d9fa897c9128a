#pragma once

#include <QProcess>

/// A child process that keeps a file open while the object lives, so that a test can see what
/// another process's open does to its own. Constructed once the child has the file open, or
/// has failed to open it (isHolding()).
class HoldFile
{
public:
    enum Access { Read, Write, ReadWrite };
    HoldFile(const QString& path, Access access);
    ~HoldFile();
    bool isHolding() const { return m_holding; }

private:
    QProcess m_process;
    bool m_holding = false;
};
