#include "holdfile.h"

HoldFile::HoldFile(const QString& path, Access access)
{
    // ">>" so that holding for writing does not truncate. "exec sleep": a sleep forked by the
    // shell would inherit the descriptor and outlive the kill of the shell.
    const QString script = QStringLiteral("exec 3%1\"$1\" && echo held && exec sleep 600")
                               .arg(QStringList { "<", ">>", "<>" }.at(access));
    m_process.start(QStringLiteral("sh"), { "-c", script, "sh", path });
    m_holding = m_process.waitForReadyRead(10000) && m_process.readAll().startsWith("held");
}

HoldFile::~HoldFile()
{
    m_process.kill();
    m_process.waitForFinished(10000);
}
