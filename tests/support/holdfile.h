#pragma once

#include <QProcess>

/// A child process that keeps a file open while the object lives, constructed once the child has
/// the file open or has failed to (then nothing holds it, and the test sees a free file).
class HoldFile
{
public:
    enum Access { Read, Write, ReadWrite };
    HoldFile(const QString& path, Access access)
    {
        // ">>" so that holding for writing does not truncate. "exec sleep": a sleep forked by the
        // shell would inherit the descriptor and outlive the kill of the shell.
        const QString script = QStringLiteral("exec 3%1\"$1\" && echo held && exec sleep 600")
                                   .arg(QStringList { "<", ">>", "<>" }.at(access));
        m_process.start(QStringLiteral("sh"), { "-c", script, "sh", path });
        m_process.waitForReadyRead(10000);
    }
    ~HoldFile()
    {
        m_process.kill();
        m_process.waitForFinished(10000);
    }

private:
    QProcess m_process;
};
