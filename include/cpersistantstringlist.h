#pragma once

#include <values/persistant.h>

#include <QStringList>

#include <tevframebase_export.h>

/// Stores one QStringList as the numbered keys <key>1, <key>2, … of a configuration.
///
/// Read appends what it finds under <key>1 to <key>9 to the target list, skipping empty or
/// absent keys; Write stores the list under <key>1 to <key>n and clears the keys n+1 to 9, so
/// that the next Read gives back exactly what was written (its first nine elements).
class TEVFRAMEBASE_EXPORT CPersistantStringList : public values::PersistantObject
{
public:
    /// Capacity of a stored list: the number of keys Read looks at.
    static constexpr int iMAX_ITEMS = 9;

    /// `target` is not owned and must outlive the entry.
    CPersistantStringList(QStringList* target, QString key, QStringList defaults);
    /// Copies refer to the same target list.
    CPersistantStringList(const CPersistantStringList&) = default;
    CPersistantStringList& operator=(const CPersistantStringList&) = default;

    ~CPersistantStringList() override;
    void Read(ICfg* cfg) override;
    void Write(ICfg* cfg) override;
    /// Puts the defaults back into the target list.
    void RestoreDefault() override;

private:
    QStringList m_defaults;
    QStringList* m_target; // not owned
};
