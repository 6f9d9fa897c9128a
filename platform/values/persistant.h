#pragma once

#include <startup/cfgcenter.h>
#include <values/values_export.h>

#include <QString>

#include <memory>
#include <vector>

namespace values {

/// The object whose members a persistence group stores; it hears before a write and after a
/// read, to move data between its working form and the stored members.
class VALUES_EXPORT PersistantOwner
{
public:
    virtual ~PersistantOwner();
    virtual void ApplyPersistantBeforeWrite();
    virtual void ApplyPersistantAfterRead();
};

/// One stored entry of a group that needs more than a single text.
class VALUES_EXPORT PersistantObject
{
public:
    PersistantObject();
    virtual ~PersistantObject();
    virtual void Read(ICfg* cfg) = 0;
    virtual void Write(ICfg* cfg) = 0;
    virtual void RestoreDefault() = 0;

    const QString& GetKey() const { return m_key; }

protected:
    QString m_key;
};

/// Something that can be saved and loaded as a whole.
class VALUES_EXPORT SaveComponentIf
{
public:
    virtual bool Save() = 0;
    virtual bool Load() = 0;
    /// Hands the current data to the store without forcing it to disk.
    virtual bool CommitData() = 0;
    virtual ~SaveComponentIf();
};

/// A persistence group: members of its owner stored under the group's name.
///
/// Read and Write open the configuration `cfgName` (the application configuration when it is
/// empty) and work in its sub-configuration named after the group. Text members are added with
/// Add; derived groups append their own entries to m_objects. Copies of a group share its
/// entries, and so store the same members.
class VALUES_EXPORT Persistant : public SaveComponentIf
{
public:
    /// `owner` is not owned and may be null.
    Persistant(const QString& name, PersistantOwner* owner);
    Persistant(const Persistant&);
    Persistant(Persistant&&) noexcept;
    Persistant& operator=(const Persistant&);
    Persistant& operator=(Persistant&&) noexcept;

    /// Read and Write with the configuration name and view of the last Read or Write.
    bool Save() override;
    bool Load() override;
    bool CommitData() override;
    ~Persistant() override;

    /// Stores `*member` (not owned; it must outlive the group) under `key`; an absent entry
    /// reads as `defaultValue`.
    void Add(QString* member, const QString& key, const QString& defaultValue);

    /// Fills every member from the store (its default when absent), then lets each entry of
    /// m_objects read, then tells the owner. False when the configuration cannot be opened.
    bool Read(const QString& cfgName, ICfg::View view);
    /// Tells the owner, stores every member and lets each entry of m_objects write, then
    /// writes the file. False when the configuration cannot be opened.
    bool Write(const QString& cfgName, ICfg::View view);
    /// Puts every member and entry back to its default.
    void RestoreDefaults();

    const QString& GetName() const { return m_name; }
    PersistantOwner* GetOwner() const { return m_owner; }

protected:
    std::vector<std::shared_ptr<PersistantObject>> m_objects;

private:
    struct TextEntry
    {
        QString* member;
        QString key;
        QString defaultValue;
    };
    bool store(const QString& cfgName, ICfg::View view, bool flush);

    QString m_name;
    PersistantOwner* m_owner; // not owned
    std::vector<TextEntry> m_texts;
    QString m_lastCfgName;
    ICfg::View m_lastView = ICfg::DefaultView;
};

} // namespace values
