#pragma once

#include <tevbase/observable.h>
#include <tevbase/q4menu.h>
#include <values/value.h>

#include <QSignalMapper>
#include <QString>

#include <tevframebase_export.h>

namespace values {
class ValueSelection;
}

/// A pop-up menu whose entries drive values of the value tree.
///
/// Each entry carries an item id (0 to iMAX_ITEMID - 1) that may be bound to a selection or to
/// a boolean. Triggering an entry bound to a selection with an item name selects the item whose
/// key is the entry's id; otherwise it flips the bound boolean. A checkable item's check mark
/// follows its selection; a persistent item's selection key is read from "MenuSettings" of the
/// application configuration when it is made persistent and written back when the menu goes.
///
/// Values are not owned: the menu observes them, lets go of one that ends (CC_Ending in state
/// VS_Ending) and unregisters when it is destroyed. The declaration order of the members is part
/// of the class's binary interface.
class TEVFRAMEBASE_EXPORT ValueSelMenu : public Q4Menu, public IObserver
{
    Q_OBJECT

public:
    static constexpr int iMAX_ITEMID = 14;

    /// A menu without parent.
    ValueSelMenu();
    /// Writes the keys of the persistent selections and unregisters from every value.
    ~ValueSelMenu() override;

    /// Appends a checkable entry `text` for `itemId`, with the single key code `key` (default
    /// none) as shortcut. The last argument is accepted and ignored.
    void InsertItem(const QString& text, int itemId, int key = 0, int = 0);
    /// Binds `itemId` to the selection at `path` + `name` (nothing between), for the selection's
    /// item `itemName`. `name` is also the item's configuration key; both names are kept even
    /// when nothing is found. A non-empty `extra` is kept with the item.
    void SetSelection_ValuePath(
        int itemId, QString path, QString name, QString itemName, QString extra = QString());
    /// Binds `itemId` to the boolean at `path` + `name` (nothing between).
    void SetBoolean_ValuePath(int itemId, QString path, QString name);
    /// Makes the item's selection persistent and selects the stored key at once, `defaultKey`
    /// when none is stored. Call it after SetSelection_ValuePath.
    void SetPersistant(int itemId, int defaultKey);
    /// Lets the entry's check mark follow the item's selection, starting now. Call it after
    /// InsertItem and SetSelection_ValuePath.
    void SetCheckable(int itemId);

protected Q_SLOTS:
    /// The reaction to a triggered entry.
    void SlotActivated(int itemId);

protected:
    void Update(Observable* source, TChangeCode code) override;

private:
    void updateCheckMark(int itemId);
    /// Unregisters from `value` unless another item still holds it.
    void release(values::ValueBase* value);

    QSignalMapper m_SignalMapper;
    values::ValueSelection* m_pValueSelection[iMAX_ITEMID];
    values::BoolValue* m_pValueBoolean[iMAX_ITEMID];
    QString m_ValueName[iMAX_ITEMID];
    QString m_SelectionItemName[iMAX_ITEMID];
    QString* m_pItemExtra[iMAX_ITEMID]; // owned
    bool m_bCheckable[iMAX_ITEMID];
    bool m_bPersistant[iMAX_ITEMID];
};
