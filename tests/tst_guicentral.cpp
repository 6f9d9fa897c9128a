#include "modaldialog.h"
#include "testenvironment.h"

#include <guicentral/guicentral.h>

#include <QAction>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QtTest>

namespace {
class Receiver : public QWidget
{
public:
    using QWidget::QWidget;
    bool onHotKey(int id)
    {
        ids.append(id);
        return actions.contains(id) ? actions[id]() : consume;
    }
    QList<int> ids;
    // What a front end does on a key, such as asking in a box; answers whether the key was used.
    QHash<int, std::function<bool()>> actions;
    bool consume = false;
};

// A main window with a File menu whose Exit entry has Alt+F4, and a focused line edit.
struct MainWindow
{
    MainWindow()
    {
        exitAction = window.menuBar()->addMenu(QStringLiteral("&File"))->addAction("E&xit");
        exitAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
        window.setCentralWidget(receiver = new Receiver);
        edit = new QLineEdit(receiver);
    }
    bool show()
    {
        window.show();
        QApplication::setActiveWindow(&window);
        edit->setFocus();
        return QTest::qWaitForWindowActive(&window);
    }
    QMainWindow window;
    QAction* exitAction;
    QPointer<Receiver> receiver;
    QLineEdit* edit;
};

int keyOf(const QString& name)
{
    return QKeySequence(name)[0];
}

int addHotKey(Receiver* receiver, const QString& key, bool applicationWide = true)
{
    return GuiCentral::Instance().AddHotKey(Qt::Key(keyOf(key) & ~Qt::KeyboardModifierMask),
        unsigned(keyOf(key) & Qt::KeyboardModifierMask), receiver, QStringLiteral("Test"),
        QStringLiteral("Tests"), applicationWide, true);
}

void press(QWidget* widget, const QString& key)
{
    QTest::keyClick(widget, Qt::Key(keyOf(key) & ~Qt::KeyboardModifierMask),
        Qt::KeyboardModifiers(keyOf(key) & Qt::KeyboardModifierMask));
}

} // namespace

class TestGuiCentral : public QObject
{
    Q_OBJECT
    TestConfigDir m_config;

private slots:
    void delivery_data()
    {
        QTest::addColumn<QString>("registered");
        QTest::addColumn<QString>("pressed");
        QTest::addColumn<bool>("consume");
        QTest::addColumn<int>("calls");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("exitTriggered");
        QTest::addColumn<QString>("scope"); // "local": the key is for its window only
        const auto row
            = [](const char* tag, const char* registered, const char* pressed, bool consume,
                  int calls, const char* typed, int exit, const char* scope = "") {
                  QTest::newRow(tag)
                      << registered << pressed << consume << calls << typed << exit << scope;
              };
        row("F1", "F1", "F1", true, 1, "", 0);
        row("Shift+F1 is not F1", "F1", "Shift+F1", true, 0, "", 0);
        row("F1 is not Shift+F1", "Shift+F1", "F1", true, 0, "", 0);
        row("Space passed on types", "Space", "Space", false, 1, " ", 0);
        row("Space consumed", "Space", "Space", true, 1, "", 0);
        row("Alt+F4 passed on to the menu", "Alt+F4", "Alt+F4", false, 1, "", 1);
        row("Alt+F4 consumed", "Alt+F4", "Alt+F4", true, 1, "", 0);
        row("other key", "F2", "A", true, 0, "a", 0);
        row("local, own window", "F5", "F5", true, 1, "", 0, "local");
        row("wide, other window", "F5", "F5", true, 1, "", 0, "other window");
        row("local, other window", "F5", "F5", true, 0, "", 0, "local, other window");
    }
    void delivery()
    {
        QFETCH(QString, pressed);
        QFETCH(int, calls);
        QFETCH(int, exitTriggered);
        QFETCH(QString, scope);
        MainWindow main;
        QVERIFY(main.show());
        QFETCH(bool, consume);
        main.receiver->consume = consume;
        QFETCH(QString, registered);
        const int id = addHotKey(main.receiver, registered, !scope.contains("local"));
        QSignalSpy exitSpy(main.exitAction, &QAction::triggered);
        QLineEdit other;
        QLineEdit* target = main.edit;
        if (scope.contains("other")) {
            target = &other;
            other.show();
            QApplication::setActiveWindow(&other);
            QVERIFY(QTest::qWaitForWindowActive(&other));
        }
        press(target, pressed);
        QCOMPARE(main.receiver->ids, calls ? QList<int> { id } : QList<int>());
        QTEST(target->text(), "typed");
        QCOMPARE(exitSpy.count(), exitTriggered);
        // The next press of the same key is offered anew.
        target->clear();
        press(target, pressed);
        QCOMPARE(main.receiver->ids.size(), 2 * calls);
        QCOMPARE(exitSpy.count(), 2 * exitTriggered);
    }

    void onePressOneCall_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<QString>("dialogs");
        const auto row
            = [](const char* tag, const char* steps, const char* calls, const char* dialogs) {
                  QTest::newRow(tag) << steps << calls << dialogs;
              };
        // F1 shows the hot-key list as the frame does; F5 asks in a box and F8 too but leaves the
        // key to Qt, as front ends may; F6 only counts; "box" is a front end asking outside any
        // hot key, with F7 registered by a widget in that box.
        row("F1 released in the list", "+F1 -F1 +Esc -Esc", "F1", "Hotkeys");
        row("F1 held until the list is closed", "+F1 +Esc -Esc -F1", "F1", "Hotkeys");
        row("F1 held, repeating into the list", "+F1 ~F1 *F1 ~F1 *F1 -F1 +Esc -Esc", "F1",
            "Hotkeys");
        row("F1, list closed, F1", "+F1 -F1 +Esc -Esc +F1 -F1 +Return -Return", "F1 F1",
            "Hotkeys Hotkeys");
        row("box key pressed again in the box", "+F5 -F5 +F5 -F5 +Esc -Esc", "F5", "Asking");
        row("box key not used, released in the box", "+F8 -F8 +Esc -Esc", "F8", "Asking");
        row("F1 in a front end's own box", "box +F1 -F1 +Esc -Esc", "", "Own");
        row("key of a widget in the own box", "box +F7 -F7 +Esc -Esc", "F7", "Own");
        row("held key repeats", "+F6 *F6 *F6 -F6", "F6 F6 F6", "");
    }
    // Keys as a keyboard sends them, with dialogs opened from the hot-key handler; a press
    // reaches the handler once, whatever is released, pressed or closed while its dialog runs.
    void onePressOneCall()
    {
        QFETCH(QString, steps);
        MainWindow main;
        QVERIFY(main.show());
        QStringList called;
        auto hotKey = [&](const QString& name, Receiver* receiver, std::function<bool()> action) {
            receiver->actions[addHotKey(receiver, name)] = [&called, name, action] {
                called << name;
                return action();
            };
        };
        QWidget* window = &main.window;
        const auto ask = [window](bool used) {
            return [window, used] {
                QMessageBox::information(window, QStringLiteral("Asking"), QStringLiteral("Sure?"));
                return used;
            };
        };
        hotKey("F1", main.receiver, [window] {
            GuiCentral::Instance().ExecHotKeysDialog(window);
            return true;
        });
        hotKey("F5", main.receiver, ask(true));
        hotKey("F8", main.receiver, ask(false));
        hotKey("F6", main.receiver, [] { return true; });

        KeyScript script(window, steps.split(' '), [&](const QString& step) {
            QCOMPARE(step, QStringLiteral("box"));
            QMessageBox ownBox(
                QMessageBox::Question, QStringLiteral("Own"), QString(), QMessageBox::Ok, window);
            hotKey("F7", new Receiver(&ownBox), [] { return true; });
            ownBox.exec();
        });
        QTRY_VERIFY_WITH_TIMEOUT(script.finished(), 10000);
        QTEST(called.join(' '), "calls");
        QTEST(script.dialogTitles().join(' '), "dialogs");
    }

    // Registrations end with their receiver; keys with distinct ids stay apart.
    void endsWithReceiver()
    {
        MainWindow main;
        QVERIFY(main.show());
        auto* doomed = new Receiver(&main.window);
        const int doomedId = addHotKey(doomed, "F3");
        const int keptId = addHotKey(main.receiver, "F3");
        delete doomed;
        QVERIFY(!GuiCentral::Instance().RemoveHotKey(doomedId));
        press(main.edit, "F3");
        QCOMPARE(main.receiver->ids, QList<int> { keptId });
        delete main.receiver;
        QVERIFY(!GuiCentral::Instance().RemoveHotKey(keptId));
    }
};

QTEST_MAIN(TestGuiCentral)
#include "tst_guicentral.moc"
