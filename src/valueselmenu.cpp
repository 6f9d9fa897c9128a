#include "valueselmenu.h"

#include <startup/cfgcenter.h>
#include <tevbase/errorhandler.h>
#include <values/tree.h>
#include <values/valueselection.h>

#include <QAction>
#include <QKeySequence>

#include <algorithm>
#include <memory>

// Reports name the menu's source the way the platform's tools know it, whatever the build tree.
#define MENU_SOURCE L"devicecontrol\\tevframebase\\src\\valueselmenu"

// Reports `text` when `condition` fails; evaluated only while assertions are enabled.
#define MENU_ASSERT_NAMED(condition, text)                                                         \
    do {                                                                                           \
        if (ErrorHandler::Instance().IsSet(ErrorHandler::Assertions) && !(condition))              \
            _Q_assert(text, MENU_SOURCE, static_cast<unsigned short>(__LINE__));                   \
    } while (false)
#define MENU_ASSERT(condition) MENU_ASSERT_NAMED(condition, TEV_WIDEN(#condition))

namespace {
const QString menuSettings = QStringLiteral("MenuSettings");

template <class T>
T* findValue(const QString& path)
{
    const values::Tree* tree = values::Tree::Instance();
    return tree ? tree->Find<T>(path) : nullptr;
}

bool isItemId(int itemId)
{
    return itemId >= 0 && itemId < ValueSelMenu::iMAX_ITEMID;
}
} // namespace

ValueSelMenu::ValueSelMenu()
    : Q4Menu(nullptr)
{
    std::fill(std::begin(m_pValueSelection), std::end(m_pValueSelection), nullptr);
    std::fill(std::begin(m_pValueBoolean), std::end(m_pValueBoolean), nullptr);
    std::fill(std::begin(m_pItemExtra), std::end(m_pItemExtra), nullptr);
    std::fill(std::begin(m_bCheckable), std::end(m_bCheckable), false);
    std::fill(std::begin(m_bPersistant), std::end(m_bPersistant), false);
    connect(&m_SignalMapper, &QSignalMapper::mappedInt, this, &ValueSelMenu::SlotActivated);
}

ValueSelMenu::~ValueSelMenu()
{
    const std::unique_ptr<ICfg> subCfg(
        CfgCenter::GetAppCfg(ICfg::ApplicationView).GetSubCfg(menuSettings, 0));
    ICfg* pSubCfg = subCfg.get();
    MENU_ASSERT(pSubCfg);
    for (int itemId = 0; itemId < iMAX_ITEMID; ++itemId) {
        if (values::BoolValue* boolean = m_pValueBoolean[itemId]) {
            m_pValueBoolean[itemId] = nullptr;
            release(boolean);
        }
        if (values::ValueSelection* selection = m_pValueSelection[itemId]) {
            // Nothing selected has no key: writing -1 would override the default next time.
            if (m_bPersistant[itemId] && pSubCfg && selection->GetCurrentIndex() >= 0)
                pSubCfg->WriteInt(m_ValueName[itemId], int(selection->GetCurrentKey()), 0);
            m_pValueSelection[itemId] = nullptr;
            release(selection);
        }
        delete m_pItemExtra[itemId];
        m_pItemExtra[itemId] = nullptr;
    }
}

void ValueSelMenu::InsertItem(const QString& text, int itemId, int key, int)
{
    QAction* action = addAction(text);
    if (!action)
        return;
    action->setShortcut(QKeySequence(key));
    action->setData(itemId);
    action->setCheckable(true);
    connect(action, &QAction::triggered, &m_SignalMapper, qOverload<>(&QSignalMapper::map));
    m_SignalMapper.setMapping(action, itemId);
}

void ValueSelMenu::SetSelection_ValuePath(
    int itemId, QString path, QString name, QString itemName, QString extra)
{
    MENU_ASSERT((itemId < iMAX_ITEMID));
    if (!isItemId(itemId))
        return;
    MENU_ASSERT(m_pValueSelection[itemId] == NULL);
    values::ValueSelection* previous = m_pValueSelection[itemId];
    m_pValueSelection[itemId] = nullptr;
    release(previous);

    values::ValueSelection* selection = findValue<values::ValueSelection>(path + name);
    if (selection)
        selection->AddObserver(this);
    m_pValueSelection[itemId] = selection;
    MENU_ASSERT(m_pValueSelection[itemId]);

    m_SelectionItemName[itemId] = itemName;
    m_ValueName[itemId] = name;
    if (!extra.isEmpty()) {
        delete m_pItemExtra[itemId];
        m_pItemExtra[itemId] = new QString(extra);
    }
}

void ValueSelMenu::SetBoolean_ValuePath(int itemId, QString path, QString name)
{
    MENU_ASSERT((itemId < iMAX_ITEMID));
    if (!isItemId(itemId))
        return;
    MENU_ASSERT(m_pValueBoolean[itemId] == NULL);
    values::BoolValue* previous = m_pValueBoolean[itemId];
    m_pValueBoolean[itemId] = nullptr;
    release(previous);

    values::BoolValue* boolean = findValue<values::BoolValue>(path + name);
    if (boolean)
        boolean->AddObserver(this);
    m_pValueBoolean[itemId] = boolean;
    MENU_ASSERT(m_pValueBoolean[itemId]);
}

void ValueSelMenu::SetPersistant(int itemId, int defaultKey)
{
    if (!isItemId(itemId))
        return;
    m_bPersistant[itemId] = true;
    const std::unique_ptr<ICfg> subCfg(
        CfgCenter::GetAppCfg(ICfg::ApplicationView).GetSubCfg(menuSettings, 0));
    if (!subCfg)
        return;
    const int key = subCfg->ReadInt(m_ValueName[itemId], defaultKey, 0);
    MENU_ASSERT_NAMED(m_pValueSelection[itemId], L"m_pValueSelection");
    if (values::ValueSelection* selection = m_pValueSelection[itemId])
        selection->Select(long(key), nullptr);
}

void ValueSelMenu::SetCheckable(int itemId)
{
    if (!isItemId(itemId))
        return;
    m_bCheckable[itemId] = true;
    MENU_ASSERT_NAMED(m_pValueSelection[itemId], L"m_pValueSelection");
    updateCheckMark(itemId);
}

void ValueSelMenu::SlotActivated(int itemId)
{
    if (!isItemId(itemId))
        return;
    if (values::ValueSelection* selection = m_pValueSelection[itemId];
        selection && !m_SelectionItemName[itemId].isEmpty()) {
        selection->Select(long(itemId), nullptr);
        // The toolkit has flipped the mark; when the selection did not change, no notification
        // comes to put it back.
        for (int other = 0; other < iMAX_ITEMID; ++other) {
            if (m_pValueSelection[other] == selection && m_bCheckable[other])
                updateCheckMark(other);
        }
    } else if (values::BoolValue* boolean = m_pValueBoolean[itemId]) {
        boolean->SetValue(!boolean->GetValue(), nullptr);
    }
}

void ValueSelMenu::Update(Observable* source, TChangeCode code)
{
    if (code == CC_Ending) {
        values::ValueBase* ended = nullptr;
        for (int itemId = 0; itemId < iMAX_ITEMID; ++itemId) {
            values::ValueSelection* selection = m_pValueSelection[itemId];
            if (selection && source == selection && selection->GetState() == values::VS_Ending) {
                ended = selection;
                m_pValueSelection[itemId] = nullptr;
            }
            // A boolean that ends is dropped as well: keeping it would leave a dangling pointer
            // for the destructor to unregister from.
            values::BoolValue* boolean = m_pValueBoolean[itemId];
            if (boolean && source == boolean && boolean->GetState() == values::VS_Ending) {
                ended = boolean;
                m_pValueBoolean[itemId] = nullptr;
            }
        }
        release(ended);
    } else if (code == CC_Changed) {
        for (int itemId = 0; itemId < iMAX_ITEMID; ++itemId) {
            values::ValueSelection* selection = m_pValueSelection[itemId];
            if (selection && source == selection && m_bCheckable[itemId])
                updateCheckMark(itemId);
        }
    }
}

void ValueSelMenu::updateCheckMark(int itemId)
{
    const values::ValueSelection* selection = m_pValueSelection[itemId];
    if (!selection || actions().isEmpty())
        return;
    if (QAction* entry = FindItem(itemId))
        entry->setChecked(selection->GetStringValue() == m_SelectionItemName[itemId]);
}

void ValueSelMenu::release(values::ValueBase* value)
{
    if (!value)
        return;
    // The menu is registered once per value, however many items share it.
    for (int itemId = 0; itemId < iMAX_ITEMID; ++itemId) {
        if (m_pValueSelection[itemId] == value || m_pValueBoolean[itemId] == value)
            return;
    }
    value->DeleteObserver(this);
}
