#include "valuebase.h"

namespace values {

ValueBase::ValueBase(const QString& name, TValueState state)
    : m_name(name)
    , m_state(state)
{ }

ValueBase::~ValueBase() = default;

bool ValueBase::SetName(const QString& name, IObserver*)
{
    if (!m_path.isEmpty())
        return false;
    m_name = name;
    return true;
}

void ValueBase::End()
{
    m_state = VS_Ending;
    NotifyObservers(CC_Ending);
}

} // namespace values
