#pragma once

#include <startup/startup_export.h>

#include <QString>

/// A configuration: text and number entries under keys, and nested sub-configurations.
///
/// A read of an absent key returns the given default. The trailing integers are the store's
/// option words; this store has no options and accepts any value.
class STARTUP_EXPORT ICfg
{
public:
    /// The layer a handle reads and writes. This store keeps one layer per file, so every view
    /// reaches the same entries; the values exist so that callers can state their intent.
    enum View {
        DefaultView = 0, ///< what a persistence group reads and writes
        ApplicationView = 1, ///< the application configuration
        FrontEndView = 2, ///< a front end's own configuration
    };

    virtual ~ICfg();
    /// The sub-configuration `name`, or null for an empty name or one holding '/' or '\\';
    /// the caller deletes it.
    virtual ICfg* GetSubCfg(const QString& name, int options = 0) = 0;
    virtual QString ReadString(const QString& key, const QString& defaultValue, int options = 0)
        = 0;
    virtual int ReadInt(const QString& key, int defaultValue, int options = 0) = 0;
    virtual bool ReadBool(const QString& key, bool defaultValue, int options = 2) = 0;
    /// Writes an entry; false when the key is empty or the file cannot be written.
    virtual bool WriteString(const QString& key, const QString& value, int options = 0) = 0;
    virtual bool WriteInt(const QString& key, int value, int options = 0) = 0;
};

/// Opens configurations: INI files in one folder, `$TEV_CONFIG_DIR` when set, else the
/// application's configuration location.
///
/// Values are read as they are written in the file (`RecordingPath=D:\Data\Rec` is
/// "D:\Data\Rec"; blanks around key and value do not count). A value a line cannot hold as it
/// is, such as one with a line break, is stored as `@String(...)` with the escapes `\\`, `\n`,
/// `\r`, `\t`, `\xHH` and `\uHHHH`. Values Qt's INI format wrote read as before, except its
/// escapes of control characters: `c:\temp` means the folder. A write replaces the lines of
/// the entries that changed and adds the new ones; comments and all other lines stay as they are.
///
/// Entries are written through a temporary file and a rename, so a crash mid-write loses
/// nothing. A file that cannot be parsed reads as empty (every read gives its default); the
/// first write keeps it beside the new file as `<name>.ini.damaged` instead of replacing it.
/// A write that fails is traced (ErrorHandler::Traces) with the file's path.
class STARTUP_EXPORT CfgCenter
{
public:
    /// Opens `<folder>/<name>.ini`; `group`, when not empty, selects a group inside it.
    /// Null for an empty name or one that would leave the folder. The caller deletes the handle.
    static ICfg* CreateCfg(const QString& name, ICfg::View view, const QString& group);
    /// The application configuration, `<folder>/<application name>.ini`. The reference stays
    /// valid until the process ends; never delete it. Entries written through it reach the
    /// file when the event loop runs, when Sync() is called and at exit.
    static ICfg& GetAppCfg(ICfg::View view = ICfg::ApplicationView);
    /// Writes pending entries of the application configuration to disk.
    static void Sync();
    /// The folder that holds the configuration files.
    static QString ConfigFolder();
};
