#pragma once

#include <QDirIterator>
#include <QStandardPaths>
#include <QTemporaryDir>

/// The bytes of the file at `path`; empty when it cannot be read.
inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// Every file below `folder`, relative to it, hidden ones too: a leftover temporary file shows.
inline QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(
        folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    return files;
}

/// Points the configuration store at a fresh temporary folder while it lives; the destructor
/// puts the previous one back (an empty value counts as unset).
class TestConfigDir
{
public:
    TestConfigDir()
    {
        QStandardPaths::setTestModeEnabled(true);
        qputenv("TEV_CONFIG_DIR", QFile::encodeName(m_dir.path()));
    }
    ~TestConfigDir() { qputenv("TEV_CONFIG_DIR", m_previous); }

    QString path() const { return m_dir.path(); }
    QString iniPath(const QString& name) const { return m_dir.filePath(name + ".ini"); }
    /// Writes `text` as the whole INI file of configuration `name`.
    void writeIni(const QString& name, const QByteArray& text) const
    {
        QFile file(iniPath(name));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(text);
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous = qgetenv("TEV_CONFIG_DIR");
};
