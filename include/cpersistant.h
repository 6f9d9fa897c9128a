#pragma once

#include <values/persistant.h>

#include <QStringList>

#include <tevframebase_export.h>

/// A persistence group that can also store whole string lists.
class TEVFRAMEBASE_EXPORT CPersistant : public values::Persistant
{
public:
    /// `owner` is not owned and may be null.
    CPersistant(QString name, values::PersistantOwner* owner);
    CPersistant(const CPersistant&) = default;
    CPersistant(CPersistant&&) noexcept = default;
    CPersistant& operator=(const CPersistant&) = default;
    CPersistant& operator=(CPersistant&&) noexcept = default;
    ~CPersistant() override;

    using values::Persistant::Add;
    /// Stores `*list` (not owned; it must outlive the group) under the keys <key>1, <key>2, …
    /// The group owns the entry it creates for it.
    void Add(QStringList* list, const QString& key, QStringList defaults);
};
