#include "testenvironment.h"

#include <QDirIterator>
#include <QStandardPaths>

TestConfigDir::TestConfigDir()
{
    QStandardPaths::setTestModeEnabled(true);
    qputenv("TEV_CONFIG_DIR", QFile::encodeName(m_dir.path()));
}

TestConfigDir::~TestConfigDir()
{
    // An empty folder counts as unset.
    qputenv("TEV_CONFIG_DIR", m_previous);
}

void TestConfigDir::writeIni(const QString& name, const QByteArray& text) const
{
    QFile file(iniPath(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(
        folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    return files;
}
