#include "guicentral.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
// The keypad modifier only says where a key sits; Qt's own shortcuts ignore it as well.
constexpr int kHotKeyModifiers
    = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

int combination(const QKeyEvent* event)
{
    return int(event->modifiers() & kHotKeyModifiers) | event->key();
}
} // namespace

GuiCentral& GuiCentral::Instance()
{
    static GuiCentral* central = new GuiCentral;
    return *central;
}

GuiCentral::GuiCentral()
{
    setObjectName(QStringLiteral("GuiCentral"));
}

int GuiCentral::addHotKey(Qt::Key key, unsigned int modifiers, QObject* receiver,
    std::function<bool(int)> handler, const QString& name, const QString& group,
    bool applicationWide, bool listed)
{
    if (!receiver)
        return 0;
    const int id = m_nextId++;
    const QKeySequence sequence(int(key) | int(modifiers & kHotKeyModifiers));
    m_registrations.push_back(
        { { id, sequence, name, group, applicationWide, listed }, receiver, std::move(handler) });
    connect(receiver, &QObject::destroyed, this, &GuiCentral::removeReceiver, Qt::UniqueConnection);
    InstallFilter();
    return id;
}

bool GuiCentral::RemoveHotKey(int id)
{
    for (auto it = m_registrations.begin(); it != m_registrations.end(); ++it) {
        if (it->hotKey.id == id) {
            m_registrations.erase(it);
            return true;
        }
    }
    return false;
}

std::vector<GuiCentral::HotKey> GuiCentral::HotKeys() const
{
    std::vector<HotKey> keys;
    for (const Registration& registration : m_registrations)
        keys.push_back(registration.hotKey);
    return keys;
}

int GuiCentral::ExecHotKeysDialog(QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("HotKeysDialog"));
    dialog.setWindowTitle(tr("Hotkeys"));
    auto* table = new QTableWidget(0, 3, &dialog);
    table->setObjectName(QStringLiteral("HotKeys"));
    table->setHorizontalHeaderLabels({ tr("Key"), tr("Name"), tr("Group") });
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    for (const Registration& registration : m_registrations) {
        const HotKey& key = registration.hotKey;
        if (!key.listed || registration.receiver.isNull())
            continue;
        const int row = table->rowCount();
        table->insertRow(row);
        table->setItem(row, 0, new QTableWidgetItem(key.key.toString(QKeySequence::NativeText)));
        table->setItem(row, 1, new QTableWidgetItem(key.name));
        table->setItem(row, 2, new QTableWidgetItem(key.group));
    }
    table->resizeColumnsToContents();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    // Our own text: Qt's catalogue, which translates the standard button, is often not deployed.
    buttons->button(QDialogButtonBox::Close)->setText(tr("&Close"));
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(table);
    layout->addWidget(buttons);
    dialog.resize(480, 320);
    return dialog.exec();
}

void GuiCentral::removeReceiver(QObject* receiver)
{
    // Compare addresses only: the receiver is being destroyed.
    for (auto it = m_registrations.begin(); it != m_registrations.end();) {
        if (it->receiver.isNull() || it->receiver.data() == receiver)
            it = m_registrations.erase(it);
        else
            ++it;
    }
}

void GuiCentral::InstallFilter()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app && m_filteredApp != app) {
        app->installEventFilter(this);
        m_filteredApp = app;
    }
}

bool GuiCentral::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        if (!isPressUnderWay(keyEvent)) {
            const int key = combination(keyEvent);
            // Keys pressed while the handler runs a dialog are presses of their own; whatever
            // they leave behind, this press is still under way when the handler returns, and its
            // KeyPress (after the override that was offered) must not be offered again.
            m_press = {};
            const bool consumed = offer(keyEvent);
            m_press = { key, consumed, nullptr };
        }
        if (event->type() == QEvent::KeyPress)
            m_press.keyPress = event;
        if (!m_press.consumed)
            break;
        // Accepting the override keeps Qt's shortcuts from acting on a consumed key; the key
        // press that follows is then swallowed here.
        event->accept();
        return true;
    }
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
        // The press is over: a release, or a shortcut of Qt's that took it instead of a KeyPress.
        m_press = {};
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool GuiCentral::isPressUnderWay(const QKeyEvent* event) const
{
    if (!m_press.key || m_press.key != combination(event))
        return false;
    // An override after the KeyPress starts the next press: a held key's autorepeat, which
    // arrives without a release in between on some platforms.
    if (event->type() == QEvent::ShortcutOverride)
        return !m_press.keyPress;
    // The KeyPress that follows the override, or the same KeyPress on its way up. A second
    // KeyPress sent without override or release is a press of its own.
    return !m_press.keyPress || m_press.keyPress == event;
}

bool GuiCentral::offer(QKeyEvent* event)
{
    const QKeySequence pressed(combination(event));
    QWidget* activeWindow = QApplication::activeWindow();
    // A key typed into a modal dialog is the dialog's: Space or Return must press its button, not
    // act on the window behind it, and a handler that opened the dialog must not run again from
    // inside it. Receivers inside the dialog still get their keys.
    QWidget* modal = QApplication::activeModalWidget();
    // Handlers may show dialogs or register keys, so work on a copy.
    const std::vector<Registration> registrations = m_registrations;
    for (const Registration& registration : registrations) {
        if (registration.hotKey.key != pressed || registration.receiver.isNull())
            continue;
        auto* widget = qobject_cast<QWidget*>(registration.receiver.data());
        if (modal && (!widget || widget->window() != modal))
            continue;
        if (!registration.hotKey.applicationWide && (!widget || widget->window() != activeWindow))
            continue;
        if (registration.handler(registration.hotKey.id))
            return true;
    }
    return false;
}

namespace {
// Keys registered before the application object existed start working with it.
void filterKeysOfNewApplication()
{
    GuiCentral::Instance().InstallFilter();
}
} // namespace
Q_COREAPP_STARTUP_FUNCTION(filterKeysOfNewApplication)
