#pragma once

#include <guicentral/guicentral_export.h>

#include <QKeySequence>
#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QEvent;
class QKeyEvent;
class QWidget;

/// Application-wide hot keys.
///
/// A pressed key that matches a registered hot key is offered to the receiver's
/// `bool onHotKey(int id)` before Qt handles it. Only a handler that returns true consumes the
/// key; otherwise it goes on as usual, to a menu entry with the same shortcut or to the
/// focused widget. Delivery is an event filter on the application rather than QShortcut: a
/// QShortcut and a QAction on the same key are ambiguous in Qt and neither would fire.
///
/// Each press reaches the handler once, also when the handler runs a dialog. A held key repeats
/// like Qt's own shortcuts do: every autorepeat press is offered. Keys that go to a modal dialog
/// belong to it: while one is open, only receivers inside it get their hot keys.
class GUICENTRAL_EXPORT GuiCentral : public QObject
{
    Q_OBJECT
public:
    struct HotKey
    {
        int id;
        QKeySequence key;
        QString name;
        QString group;
        bool applicationWide;
        bool listed;
    };

    static GuiCentral& Instance();

    /// Registers `key` + `modifiers` (Qt::KeyboardModifiers as bits) for `receiver`, whose
    /// `bool onHotKey(int)` gets the returned id when the key is pressed. `name` and `group`
    /// are the (translated) texts of the hot-key list. With `applicationWide` the key works
    /// in every window of the application, else only while the receiver's window is active;
    /// `listed` puts it in the hot-key list. The registration ends with the receiver.
    template <class Receiver>
    int AddHotKey(Qt::Key key, unsigned int modifiers, Receiver* receiver, const QString& name,
        const QString& group, bool applicationWide, bool listed)
    {
        return addHotKey(
            key, modifiers, receiver, [receiver](int id) { return receiver->onHotKey(id); }, name,
            group, applicationWide, listed);
    }

    /// Removes one registration; false when the id is unknown.
    bool RemoveHotKey(int id);
    /// The registrations, in the order they were made.
    std::vector<HotKey> HotKeys() const;
    /// Shows the modal list of the listed hot keys (key, name, group) over `parent`; returns
    /// the dialog's result.
    int ExecHotKeysDialog(QWidget* parent);

    /// Starts watching the keys of the running application; done when a key is added and when
    /// an application object is created.
    void InstallFilter();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Registration
    {
        HotKey hotKey;
        QPointer<QObject> receiver;
        std::function<bool(int)> handler;
    };

    GuiCentral();
    int addHotKey(Qt::Key key, unsigned int modifiers, QObject* receiver,
        std::function<bool(int)> handler, const QString& name, const QString& group,
        bool applicationWide, bool listed);
    void removeReceiver(QObject* receiver);
    bool isPressUnderWay(const QKeyEvent* event) const;
    bool offer(QKeyEvent* event);

    std::vector<Registration> m_registrations;
    int m_nextId = 1;
    QPointer<QObject> m_filteredApp;

    // The press being delivered. One press passes the filter several times: as a
    // ShortcutOverride and then as its KeyPress, and each of them on its way from the focus widget
    // up through the parents. It is offered the first time only.
    struct Press
    {
        int key = 0; // key | modifiers; 0 when no press is under way
        bool consumed = false;
        const QEvent* keyPress = nullptr; // its KeyPress once that came; compared, never read
    };
    Press m_press;
};
