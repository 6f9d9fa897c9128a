#include "pathindex.h"

#include <QHash>

#include <algorithm>
#include <utility>

namespace values {

int PathIndex::slotOf(const QString& path, uint hash) const
{
    if (m_slots.empty())
        return -1;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (!slot.value || (slot.hash == hash && slot.path == path))
            return int(i);
    }
}

ValueBase* PathIndex::find(const QString& path) const
{
    const int i = slotOf(path, qHash(path));
    return i < 0 ? nullptr : m_slots[size_t(i)].value;
}

bool PathIndex::insert(const QString& path, ValueBase* value)
{
    if (!value)
        return false;
    if (2 * (m_count + 1) > int(m_slots.size()))
        grow();
    const uint hash = qHash(path);
    Slot& slot = m_slots[size_t(slotOf(path, hash))];
    if (slot.value)
        return false;
    slot = Slot { hash, path, value };
    ++m_count;
    return true;
}

ValueBase* PathIndex::take(const QString& path)
{
    int i = slotOf(path, qHash(path));
    if (i < 0 || !m_slots[size_t(i)].value)
        return nullptr;
    ValueBase* taken = m_slots[size_t(i)].value;
    // Backward shift: later members of the probe run move into the gap when their home slot
    // does not lie after it, so that every lookup still finds them without tombstones.
    const size_t mask = m_slots.size() - 1;
    size_t gap = size_t(i);
    for (size_t j = (gap + 1) & mask; m_slots[j].value; j = (j + 1) & mask) {
        const size_t home = m_slots[j].hash & mask;
        const bool homeAfterGap = gap <= j ? (gap < home && home <= j) : (gap < home || home <= j);
        if (homeAfterGap)
            continue;
        m_slots[gap] = std::move(m_slots[j]);
        gap = j;
    }
    m_slots[gap] = Slot {};
    --m_count;
    return taken;
}

std::vector<ValueBase*> PathIndex::values() const
{
    std::vector<ValueBase*> all;
    all.reserve(size_t(m_count));
    for (const Slot& slot : m_slots) {
        if (slot.value)
            all.push_back(slot.value);
    }
    return all;
}

void PathIndex::clear()
{
    m_slots.clear();
    m_count = 0;
}

void PathIndex::grow()
{
    const size_t size = std::max<size_t>(16, 2 * m_slots.size());
    std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(size));
    const size_t mask = m_slots.size() - 1;
    for (Slot& slot : old) {
        if (!slot.value)
            continue;
        size_t i = slot.hash & mask;
        while (m_slots[i].value)
            i = (i + 1) & mask;
        m_slots[i] = std::move(slot);
    }
}

} // namespace values
