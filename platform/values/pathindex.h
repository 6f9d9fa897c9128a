#pragma once

#include <QString>

#include <vector>

namespace values {

class ValueBase;

/// The tree's index from canonical path to value: open addressing with linear probing over
/// small slots (hash and record number), and the paths with their values side by side in one
/// record array. A lookup reads one or two neighbouring slots and one record, whose characters
/// follow its header; a QString key would be a heap block of its own, somewhere among the
/// values, and cost a second cache miss. Internal to the value tree; not thread-safe, like the
/// tree.
class PathIndex
{
public:
    /// The value stored under `path`, or null.
    ValueBase* find(const QString& path) const;
    /// Stores `value` (not null) under `path`; false when the path is taken.
    bool insert(const QString& path, ValueBase* value);
    /// Removes and returns the value under `path`, null when there is none.
    ValueBase* take(const QString& path);
    /// Every stored value, in no particular order.
    std::vector<ValueBase*> values() const;
    void clear();
    int size() const { return m_count; }

private:
    // A record: this header, then the path's characters, padded to whole units. The records are
    // bytes, read and written with memcpy, so that headers and characters may share them.
    struct Header
    {
        ValueBase* value; // null: removed, the record waits for compact()
        int size;
    };
    static constexpr size_t kUnit = 16;
    struct Slot
    {
        uint hash = 0;
        quint32 record = 0; // the record's first unit in m_records; 0: the slot is free
    };

    // The slot holding `path`, or the free slot where it would go; -1 while there are no slots.
    int slotOf(const QString& path, uint hash) const;
    Header header(quint32 record) const;
    bool holds(quint32 record, const QString& path) const;
    void grow();
    // Rebuilds the record array without the removed records.
    void compact();

    std::vector<Slot> m_slots; // a power of two in size, at most half full
    std::vector<unsigned char> m_records; // unit 0 is a placeholder, so that 0 can mean "free"
    size_t m_removedUnits = 0; // units held by removed records
    int m_count = 0;
};

} // namespace values
