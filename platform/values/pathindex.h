#pragma once

#include <QString>

#include <vector>

namespace values {

class ValueBase;

/// The tree's index from canonical path to value: open addressing with linear probing in one
/// contiguous array. A lookup reads one or two neighbouring slots and the key's characters,
/// where a node-based hash would first follow a chain of nodes spread over the heap between
/// the values. Internal to the value tree; not thread-safe, like the tree.
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
    struct Slot
    {
        uint hash = 0;
        QString path;
        ValueBase* value = nullptr; // null: the slot is free
    };

    // The slot holding `path`, or the free slot where it would go; -1 while there are no slots.
    int slotOf(const QString& path, uint hash) const;
    void grow();

    std::vector<Slot> m_slots; // a power of two in size, at most half full
    int m_count = 0;
};

} // namespace values
