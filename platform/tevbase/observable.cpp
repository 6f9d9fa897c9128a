#include "observable.h"

#include <algorithm>
#include <utility>

IObserver::~IObserver() = default;

Observable::~Observable() = default;

bool Observable::AddObserver(IObserver* observer)
{
    if (!observer || HasObserver(observer))
        return false;
    m_observers.push_back(observer);
    return true;
}

bool Observable::DeleteObserver(IObserver* observer)
{
    auto it = std::find(m_observers.begin(), m_observers.end(), observer);
    if (!observer || it == m_observers.end())
        return false;
    if (m_notifyDepth > 0) {
        *it = nullptr;
        m_hasHoles = true;
    } else {
        m_observers.erase(it);
    }
    return true;
}

void Observable::DeleteObservers()
{
    if (m_notifyDepth > 0) {
        std::fill(m_observers.begin(), m_observers.end(), nullptr);
        m_hasHoles = !m_observers.empty();
    } else {
        m_observers.clear();
    }
}

bool Observable::MakeFirstObserver(IObserver* observer)
{
    if (!observer)
        return false;
    if (m_notifyDepth > 0) {
        // Moving entries would shift them under the running loop, and clearing the old slot
        // would skip the observer in this round: it keeps its slot and moves afterwards.
        AddObserver(observer);
        m_pendingFirst.push_back(observer);
        return true;
    }
    DeleteObserver(observer);
    m_observers.insert(m_observers.begin(), observer);
    return true;
}

void Observable::NotifyObservers(TChangeCode code)
{
    NotifyObserversExcept(code, nullptr);
}

bool Observable::HasObserver(const IObserver* observer) const
{
    return observer
        && std::find(m_observers.begin(), m_observers.end(), observer) != m_observers.end();
}

int Observable::ObserverCount() const
{
    return int(std::count_if(
        m_observers.begin(), m_observers.end(), [](IObserver* o) { return o != nullptr; }));
}

void Observable::NotifyObserversExcept(TChangeCode code, const IObserver* origin)
{
    ++m_notifyDepth;
    // Observers added during the loop wait for the next notification.
    const size_t count = m_observers.size();
    for (size_t i = 0; i < count; ++i) {
        IObserver* observer = m_observers[i];
        if (observer && observer != origin)
            observer->Update(this, code);
    }
    if (--m_notifyDepth == 0 && (m_hasHoles || !m_pendingFirst.empty()))
        compact();
}

void Observable::compact()
{
    m_observers.erase(
        std::remove(m_observers.begin(), m_observers.end(), nullptr), m_observers.end());
    m_hasHoles = false;
    // In call order, so that the last one moved ends up first; one removed since stays out.
    for (IObserver* observer : std::exchange(m_pendingFirst, {})) {
        auto it = std::find(m_observers.begin(), m_observers.end(), observer);
        if (it != m_observers.end())
            std::rotate(m_observers.begin(), it, it + 1);
    }
}
