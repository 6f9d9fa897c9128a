#include "cpersistantstringlist.h"

#include <startup/cfgcenter.h>

namespace {
QString numberedKey(const QString& prefix, int number)
{
    return prefix + QString::number(number);
}
} // namespace

CPersistantStringList::CPersistantStringList(QStringList* target, QString key, QStringList defaults)
    : m_defaults(std::move(defaults))
    , m_target(target)
{
    m_key = std::move(key);
}

CPersistantStringList::~CPersistantStringList() = default;

void CPersistantStringList::Read(ICfg* cfg)
{
    if (!cfg || !m_target)
        return;
    // Appends without clearing; empty or absent keys leave no hole.
    for (int i = 1; i <= iMAX_ITEMS; ++i) {
        const QString text = cfg->ReadString(numberedKey(m_key, i), QString(), 0);
        if (!text.isEmpty())
            m_target->append(text);
    }
}

void CPersistantStringList::Write(ICfg* cfg)
{
    if (!cfg || !m_target)
        return;
    const int count = m_target->size();
    for (int i = 1; i <= count; ++i)
        cfg->WriteString(numberedKey(m_key, i), m_target->at(i - 1), 0);
    // Clear the keys a longer list wrote before: Read would bring its tail back, so a removed
    // entry would return or the last one appear twice.
    for (int i = count + 1; i <= iMAX_ITEMS; ++i)
        cfg->WriteString(numberedKey(m_key, i), QString(), 0);
}

void CPersistantStringList::RestoreDefault()
{
    if (m_target)
        *m_target = m_defaults;
}
