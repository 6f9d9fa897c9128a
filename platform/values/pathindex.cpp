#include "pathindex.h"

#include <QHash>

#include <algorithm>
#include <cstring>
#include <utility>

namespace values {

namespace {
// Units of a record holding `size` characters.
size_t unitsFor(int size, size_t headerSize, size_t unit)
{
    return (headerSize + size_t(size) * sizeof(QChar) + unit - 1) / unit;
}
} // namespace

PathIndex::Header PathIndex::header(quint32 record) const
{
    Header header;
    std::memcpy(&header, m_records.data() + record * kUnit, sizeof header);
    return header;
}

bool PathIndex::holds(quint32 record, const QString& path) const
{
    const unsigned char* at = m_records.data() + record * kUnit;
    return header(record).size == path.size()
        && std::memcmp(at + sizeof(Header), path.constData(), size_t(path.size()) * sizeof(QChar))
        == 0;
}

int PathIndex::slotOf(const QString& path, uint hash) const
{
    if (m_slots.empty())
        return -1;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (!slot.record || (slot.hash == hash && holds(slot.record, path)))
            return int(i);
    }
}

ValueBase* PathIndex::find(const QString& path) const
{
    const int i = slotOf(path, qHash(path));
    const quint32 record = i < 0 ? 0 : m_slots[size_t(i)].record;
    return record ? header(record).value : nullptr;
}

bool PathIndex::insert(const QString& path, ValueBase* value)
{
    if (!value)
        return false;
    if (2 * (m_count + 1) > int(m_slots.size()))
        grow();
    const uint hash = qHash(path);
    Slot& slot = m_slots[size_t(slotOf(path, hash))];
    if (slot.record)
        return false;
    if (m_records.empty())
        m_records.resize(kUnit);
    const size_t at = m_records.size();
    m_records.resize(at + unitsFor(path.size(), sizeof(Header), kUnit) * kUnit);
    const Header header { value, int(path.size()) };
    std::memcpy(m_records.data() + at, &header, sizeof header);
    std::memcpy(m_records.data() + at + sizeof header, path.constData(),
        size_t(path.size()) * sizeof(QChar));
    slot = Slot { hash, quint32(at / kUnit) };
    ++m_count;
    return true;
}

ValueBase* PathIndex::take(const QString& path)
{
    int i = slotOf(path, qHash(path));
    if (i < 0 || !m_slots[size_t(i)].record)
        return nullptr;
    const quint32 record = m_slots[size_t(i)].record;
    Header removed = header(record);
    ValueBase* taken = std::exchange(removed.value, nullptr);
    std::memcpy(m_records.data() + record * kUnit, &removed, sizeof removed);
    m_removedUnits += unitsFor(removed.size, sizeof(Header), kUnit);
    // Backward shift: later members of the probe run move into the gap when their home slot
    // does not lie after it, so that every lookup still finds them without tombstones.
    const size_t mask = m_slots.size() - 1;
    size_t gap = size_t(i);
    for (size_t j = (gap + 1) & mask; m_slots[j].record; j = (j + 1) & mask) {
        const size_t home = m_slots[j].hash & mask;
        const bool homeAfterGap = gap <= j ? (gap < home && home <= j) : (gap < home || home <= j);
        if (homeAfterGap)
            continue;
        m_slots[gap] = m_slots[j];
        gap = j;
    }
    m_slots[gap] = Slot {};
    --m_count;
    // Removed records go once they fill half the array, so that adding and removing in turn
    // keeps the array at most twice the size of what it holds.
    if (2 * m_removedUnits * kUnit > m_records.size())
        compact();
    return taken;
}

std::vector<ValueBase*> PathIndex::values() const
{
    std::vector<ValueBase*> all;
    all.reserve(size_t(m_count));
    for (const Slot& slot : m_slots) {
        if (slot.record)
            all.push_back(header(slot.record).value);
    }
    return all;
}

void PathIndex::clear()
{
    m_slots.clear();
    m_records.clear();
    m_removedUnits = 0;
    m_count = 0;
}

void PathIndex::grow()
{
    const size_t size = std::max<size_t>(16, 2 * m_slots.size());
    std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(size));
    const size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (!slot.record)
            continue;
        size_t i = slot.hash & mask;
        while (m_slots[i].record)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

void PathIndex::compact()
{
    std::vector<unsigned char> kept(kUnit);
    kept.reserve(m_records.size() - m_removedUnits * kUnit);
    for (Slot& slot : m_slots) {
        if (!slot.record)
            continue;
        const unsigned char* first = m_records.data() + slot.record * kUnit;
        const size_t bytes = unitsFor(header(slot.record).size, sizeof(Header), kUnit) * kUnit;
        slot.record = quint32(kept.size() / kUnit);
        kept.insert(kept.end(), first, first + bytes);
    }
    m_records = std::move(kept);
    m_removedUnits = 0;
}

} // namespace values
