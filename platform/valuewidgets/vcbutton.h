#pragma once

#include <tevbase/observable.h>
#include <valuewidgets/valuewidgets_export.h>

#include <QToolButton>

namespace values {
class ValueSelection;
}

/// A tool button bound to a selection value of the value tree.
///
/// A press is a command to the owner of the value, not a change of state: when an item is
/// current, every observer of the value gets CC_Changed again although the item stays the same;
/// when none is current, the first item is selected. An unbound button or an empty selection
/// ignores the press, and so does a disabled button.
///
/// The button registers as observer of its value, lets go of it when the value ends (CC_Ending
/// in state VS_Ending) and unregisters when it is destroyed.
class VALUEWIDGETS_EXPORT VCButton : public QToolButton, public IObserver
{
    Q_OBJECT

public:
    /// `label` becomes the tool tip. With `autoRepeat` (default false) a button held down repeats
    /// its press, for stepping.
    explicit VCButton(
        QWidget* parent = nullptr, const QString& label = QString(), bool autoRepeat = false);
    ~VCButton() override;

    /// Binds the button to the selection at `path` (the value tree's path rule), dropping an
    /// earlier binding. False, and unbound, when there is no selection at `path`.
    bool SetValueSelection_ValuePath(const QString& path);
    /// The bound selection, null when unbound; not owned.
    values::ValueSelection* GetValueSelection() const { return m_pValueSelection; }

    /// Shows the XPM picture `xpm` (copied; null shows none).
    void SetDefaultPicture(const char* const* xpm);
    /// Shows `picture`. Its smallest size becomes the icon size; larger sizes in it are the same
    /// picture for screens of higher density.
    void SetDefaultPicture(const QIcon& picture);

    /// Enables or disables the button. Call it through a VCButton pointer: QWidget's version is
    /// not virtual, and derived buttons refresh their look here.
    virtual void setEnabled(bool enabled);

protected:
    void Update(Observable* observable, TChangeCode code) override;
    /// Acts on the bound value; runs on every click of an enabled button.
    virtual void Press();
    /// Brings the look in line with the value; runs after a binding change and on CC_Changed.
    virtual void Refresh();

private:
    void release();

    values::ValueSelection* m_pValueSelection = nullptr; // not owned
};
