#pragma once

#include <QString>
#include <QStringList>

#include <tevframebase_export.h>

class CPersistant;
namespace values {
class PersistantOwner;
}

/// The frame's persisted record: the folder the open dialog starts in and the recent files.
///
/// Stored in the group `name` of a configuration as Files1 … Files9 and FileOpenPath.
/// A copy has a persistence group of its own, bound to its own members.
class TEVFRAMEBASE_EXPORT CSettings
{
public:
    /// `owner` is not owned and may be null.
    CSettings(QString name, values::PersistantOwner* owner);
    CSettings(const CSettings& other);
    CSettings& operator=(const CSettings& other);
    virtual ~CSettings();

    /// Reads the record from configuration `cfgName` (the application configuration when
    /// empty). Recent files are appended to the list in memory.
    void read(const QString& cfgName);
    /// Writes the record to configuration `cfgName` (the application configuration when empty).
    void write(const QString& cfgName);

    QString& fileOpenPath() { return m_fileOpenPath; }
    /// Recent files, oldest first.
    QStringList& recentFiles() { return m_recentFiles; }

    /// The persistence group, null when it could not be created.
    CPersistant* persistant() const { return m_persistant; }

private:
    void createGroup(const QString& name, values::PersistantOwner* owner);

    CPersistant* m_persistant; // owned
    QStringList m_recentFiles;
    QString m_fileOpenPath;
};
