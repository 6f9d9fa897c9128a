#pragma once

#include <tevbase/tevbase_export.h>

#include <vector>

class Observable;

/// What happened to an observed object.
enum TChangeCode {
    CC_None = 0,
    CC_Created = 1,
    /// The object is ending; observers ask its state and let go of it when the state is 1.
    CC_Ending = 2,
    /// The object's content changed.
    CC_Changed = 3,
};

/// Receives the notifications of the Observables it is registered with.
class TEVBASE_EXPORT IObserver
{
public:
    virtual ~IObserver();
    virtual void Update(Observable* observable, TChangeCode code) = 0;
};

/// Keeps a list of observers and notifies them.
///
/// Observers are not owned. An observer may add or remove observers (itself included) from
/// inside Update: a removed observer is not called any more in the running notification, an
/// added one is called from the next notification on.
class TEVBASE_EXPORT Observable
{
public:
    Observable() = default;
    Observable(const Observable&) = delete;
    Observable& operator=(const Observable&) = delete;
    virtual ~Observable();

    /// Registers an observer; false for null or for one that is already registered.
    virtual bool AddObserver(IObserver* observer);
    /// Unregisters an observer; false when it was not registered.
    virtual bool DeleteObserver(IObserver* observer);
    virtual void DeleteObservers();
    /// Moves (or adds) an observer to the front, so that it is notified first. During a
    /// notification the move takes effect once the notification is over.
    virtual bool MakeFirstObserver(IObserver* observer);
    virtual void NotifyObservers(TChangeCode code);

    bool HasObserver(const IObserver* observer) const;
    int ObserverCount() const;

protected:
    /// Notifies every observer but `origin` (the one that caused the change; may be null).
    void NotifyObserversExcept(TChangeCode code, const IObserver* origin);
    /// True while a notification of this object runs (also a nested one).
    bool IsNotifying() const { return m_notifyDepth > 0; }

private:
    void compact();

    // Removal during a notification only clears the entry; compact() drops the holes once
    // the outermost notification is over, so running loops never see the vector move.
    std::vector<IObserver*> m_observers;
    // Observers moved to the front during a notification; compact() moves them.
    std::vector<IObserver*> m_pendingFirst;
    int m_notifyDepth = 0;
    bool m_hasHoles = false;
};
