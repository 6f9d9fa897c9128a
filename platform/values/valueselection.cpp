#include "valueselection.h"

namespace values {

SelectionItem::SelectionItem(const QString& name, double value, long key)
    : m_name(name)
    , m_value(value)
    , m_key(key)
{ }

ValueSelection::ValueSelection(const QString& name, TValueState state)
    : ValueBase(name, state)
{ }

ValueSelection::~ValueSelection()
{
    for (SelectionItem* item : m_items)
        delete item;
}

bool ValueSelection::AddItem(SelectionItem* item, IObserver*)
{
    if (!item)
        return false;
    if (FindItem(item->GetName()) >= 0) {
        delete item;
        return false;
    }
    m_items.push_back(item);
    return true;
}

const SelectionItem* ValueSelection::GetItem(int index) const
{
    return index >= 0 && index < GetItemCount() ? m_items[size_t(index)] : nullptr;
}

int ValueSelection::FindItem(const QString& name) const
{
    for (int i = 0; i < GetItemCount(); ++i) {
        if (m_items[size_t(i)]->GetName() == name)
            return i;
    }
    return -1;
}

int ValueSelection::FindKey(long key) const
{
    for (int i = 0; i < GetItemCount(); ++i) {
        if (m_items[size_t(i)]->GetKey() == key)
            return i;
    }
    return -1;
}

bool ValueSelection::Select(const QString& name, IObserver* origin)
{
    return SelectIndex(FindItem(name), origin);
}

bool ValueSelection::Select(long key, IObserver* origin)
{
    return SelectIndex(FindKey(key), origin);
}

bool ValueSelection::SelectIndex(int index, IObserver* origin)
{
    if (!GetItem(index))
        return false;
    if (index != m_current) {
        m_current = index;
        NotifyObserversExcept(CC_Changed, origin);
    }
    return true;
}

long ValueSelection::GetCurrentKey() const
{
    const SelectionItem* item = GetCurrentItem();
    return item ? item->GetKey() : -1;
}

QString ValueSelection::GetStringValue() const
{
    const SelectionItem* item = GetCurrentItem();
    return item ? item->GetName() : QString();
}

bool ValueSelection::SetStringValue(const QString& text, IObserver* origin)
{
    return Select(text, origin);
}

} // namespace values
