#include "cpersistant.h"

#include "cpersistantstringlist.h"

CPersistant::CPersistant(QString name, values::PersistantOwner* owner)
    : values::Persistant(name, owner)
{ }

CPersistant::~CPersistant() = default;

void CPersistant::Add(QStringList* list, const QString& key, QStringList defaults)
{
    m_objects.push_back(std::make_shared<CPersistantStringList>(list, key, std::move(defaults)));
}
