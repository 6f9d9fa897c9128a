#include "holdfile.h"

HoldFile::HoldFile(const QString& path, Access access)
{
    // ">>" so that holding for writing does not truncate. "exec sleep": a sleep forked by the
    // shell would inherit the descriptor and outlive the kill of the shell.
    static const char* const redirections[] = { "3<", "3>>", "3<>" };
    const QString script = QStringLiteral("exec %1\"$1\" && echo held && exec sleep 600")
                               .arg(QLatin1String(redirections[access]));
    m_process.start(
        QStringLiteral("sh"), { QStringLiteral("-c"), script, QStringLiteral("sh"), path });
    m_holding = m_process.waitForReadyRead(10000) && m_process.readAll().startsWith("held");
}

HoldFile::~HoldFile()
{
    m_process.kill();
    m_process.waitForFinished(10000);
}
