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

/// Points the configuration store at a fresh temporary folder for the life of the object, so
/// that no test reads or writes a real configuration. The destructor puts back the folder that
/// was set before: nest them, and end one before making the next.
class TestConfigDir
{
public:
    TestConfigDir();
    ~TestConfigDir();
    TestConfigDir(const TestConfigDir&) = delete;
    TestConfigDir& operator=(const TestConfigDir&) = delete;

    QString path() const { return m_dir.path(); }
    /// Path of the INI file of configuration `name`.
    QString iniPath(const QString& name) const;
    /// Writes `text` as the whole INI file of configuration `name`.
    void writeIni(const QString& name, const QByteArray& text) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious;
};
