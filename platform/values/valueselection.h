#pragma once

#include <values/valuebase.h>

#include <vector>

namespace values {

/// One choice of a selection: a name, a number and a key.
class VALUES_EXPORT SelectionItem
{
public:
    SelectionItem(const QString& name, double value, long key);

    const QString& GetName() const { return m_name; }
    double GetValue() const { return m_value; }
    long GetKey() const { return m_key; }

private:
    QString m_name;
    double m_value;
    long m_key;
};

/// A value that is one of a list of items. No item is current until one is selected.
class VALUES_EXPORT ValueSelection : public ValueBase
{
public:
    explicit ValueSelection(const QString& name = QString(), TValueState state = VS_Valid);
    ValueSelection(const ValueSelection&) = delete;
    ValueSelection& operator=(const ValueSelection&) = delete;
    ~ValueSelection() override;

    /// Appends an item; the selection owns it from now on. An item whose name is already in
    /// the list is deleted and false returned.
    bool AddItem(SelectionItem* item, IObserver* origin = nullptr);

    int GetItemCount() const { return int(m_items.size()); }
    /// The item at `index`, or null.
    const SelectionItem* GetItem(int index) const;
    /// Index of the item with this name or key, -1 when there is none.
    int FindItem(const QString& name) const;
    int FindKey(long key) const;

    /// Makes the named item current; observers get CC_Changed when the current item changed.
    /// False when there is no such item.
    bool Select(const QString& name, IObserver* origin = nullptr);
    /// Makes the item with this key current; as Select by name.
    bool Select(long key, IObserver* origin = nullptr);
    bool SelectIndex(int index, IObserver* origin = nullptr);

    /// Index of the current item, -1 when none is selected.
    int GetCurrentIndex() const { return m_current; }
    const SelectionItem* GetCurrentItem() const { return GetItem(m_current); }
    /// Key of the current item, -1 when none is selected.
    long GetCurrentKey() const;

    /// Name of the current item, empty when none is selected.
    QString GetStringValue() const override;
    /// Selects the item of this name.
    bool SetStringValue(const QString& text, IObserver* origin = nullptr) override;

private:
    std::vector<SelectionItem*> m_items; // owned
    int m_current = -1;
};

} // namespace values
