#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

/// The bytes of the file at `path`; empty when it cannot be read.
QByteArray fileBytes(const QString& path);

/// Every file below `folder`, hidden ones included, relative to it: a leftover temporary file
/// shows up here.
QStringList filesBelow(const QString& folder);

/// Points the configuration store at a fresh temporary folder while it lives; the destructor
/// puts the previous one back.
class TestConfigDir
{
public:
    TestConfigDir();
    ~TestConfigDir();

    QString path() const { return m_dir.path(); }
    QString iniPath(const QString& name) const { return m_dir.filePath(name + ".ini"); }
    /// Writes `text` as the whole INI file of configuration `name`.
    void writeIni(const QString& name, const QByteArray& text) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous = qgetenv("TEV_CONFIG_DIR");
};
