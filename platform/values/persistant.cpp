#include "persistant.h"

namespace values {

PersistantOwner::~PersistantOwner() = default;
void PersistantOwner::ApplyPersistantBeforeWrite() { }
void PersistantOwner::ApplyPersistantAfterRead() { }

PersistantObject::PersistantObject() = default;
PersistantObject::~PersistantObject() = default;

SaveComponentIf::~SaveComponentIf() = default;

namespace {

// The group's sub-configuration of `cfgName`, and whatever must be deleted with it.
class GroupCfg
{
public:
    GroupCfg(const QString& cfgName, ICfg::View view, const QString& group)
    {
        if (cfgName.isEmpty()) {
            m_appCfg = true;
            m_top = &CfgCenter::GetAppCfg(view);
        } else {
            m_ownedTop.reset(CfgCenter::CreateCfg(cfgName, view, QString()));
            m_top = m_ownedTop.get();
        }
        if (m_top && !group.isEmpty())
            m_sub.reset(m_top->GetSubCfg(group, 0));
    }

    ICfg* get() const { return m_sub ? m_sub.get() : m_top; }
    bool isAppCfg() const { return m_appCfg; }

private:
    bool m_appCfg = false;
    ICfg* m_top = nullptr;
    std::unique_ptr<ICfg> m_ownedTop;
    std::unique_ptr<ICfg> m_sub;
};

} // namespace

Persistant::Persistant(const QString& name, PersistantOwner* owner)
    : m_name(name)
    , m_owner(owner)
{ }

Persistant::Persistant(const Persistant&) = default;
Persistant::Persistant(Persistant&&) noexcept = default;
Persistant& Persistant::operator=(const Persistant&) = default;
Persistant& Persistant::operator=(Persistant&&) noexcept = default;
Persistant::~Persistant() = default;

bool Persistant::Save()
{
    return Write(m_lastCfgName, m_lastView);
}

bool Persistant::Load()
{
    return Read(m_lastCfgName, m_lastView);
}

bool Persistant::CommitData()
{
    return store(m_lastCfgName, m_lastView, false);
}

void Persistant::Add(QString* member, const QString& key, const QString& defaultValue)
{
    if (member && !key.isEmpty())
        m_texts.push_back({ member, key, defaultValue });
}

bool Persistant::Read(const QString& cfgName, ICfg::View view)
{
    m_lastCfgName = cfgName;
    m_lastView = view;
    GroupCfg cfg(cfgName, view, m_name);
    if (!cfg.get())
        return false;
    for (const TextEntry& entry : m_texts)
        *entry.member = cfg.get()->ReadString(entry.key, entry.defaultValue, 0);
    for (const auto& object : m_objects)
        object->Read(cfg.get());
    if (m_owner)
        m_owner->ApplyPersistantAfterRead();
    return true;
}

bool Persistant::Write(const QString& cfgName, ICfg::View view)
{
    return store(cfgName, view, true);
}

bool Persistant::store(const QString& cfgName, ICfg::View view, bool flush)
{
    m_lastCfgName = cfgName;
    m_lastView = view;
    GroupCfg cfg(cfgName, view, m_name);
    if (!cfg.get())
        return false;
    if (m_owner)
        m_owner->ApplyPersistantBeforeWrite();
    bool ok = true;
    for (const TextEntry& entry : m_texts)
        ok = cfg.get()->WriteString(entry.key, *entry.member, 0) && ok;
    for (const auto& object : m_objects)
        object->Write(cfg.get());
    // A handle from CreateCfg writes its file when it is deleted, at the end of this call;
    // the application configuration lives on and is written now.
    if (flush && cfg.isAppCfg())
        CfgCenter::Sync();
    return ok;
}

void Persistant::RestoreDefaults()
{
    for (const TextEntry& entry : m_texts)
        *entry.member = entry.defaultValue;
    for (const auto& object : m_objects)
        object->RestoreDefault();
}

} // namespace values
