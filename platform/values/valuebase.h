#pragma once

#include <tevbase/observable.h>
#include <values/values_export.h>

#include <QString>

namespace values {

/// The life state of a value.
enum TValueState {
    VS_Valid = 0,
    /// The value is ending: observers that get CC_Ending in this state must let go of it.
    VS_Ending = 1,
};

/// A named value with a state; observers hear of its changes (CC_Changed) and of its end
/// (CC_Ending with state VS_Ending).
///
/// Every setter takes, last, the observer that causes the change: it is not notified of its
/// own change. Pass null to notify everyone.
class VALUES_EXPORT ValueBase : public Observable
{
public:
    explicit ValueBase(const QString& name = QString(), TValueState state = VS_Valid);
    /// Observers are not told: a value that others may hold is ended with End() first
    /// (Tree::RemoveValue does both).
    ~ValueBase() override;

    const QString& GetName() const { return m_name; }
    /// Sets the name; refused (false) once the value is in the tree, whose path it would break.
    bool SetName(const QString& name, IObserver* origin = nullptr);
    /// The value's path in the tree; empty while it is not in the tree.
    const QString& GetPath() const { return m_path; }

    TValueState GetState() const { return m_state; }

    /// The content as text, in the value's own format.
    virtual QString GetStringValue() const = 0;
    /// Sets the content from text; false when the text is not of the value's format.
    virtual bool SetStringValue(const QString& text, IObserver* origin = nullptr) = 0;

    /// Ends the value: state VS_Ending, then CC_Ending to every observer.
    void End();

private:
    friend class Tree;
    QString m_name;
    QString m_path;
    TValueState m_state;
};

} // namespace values
