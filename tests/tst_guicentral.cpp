#include "modaldialog.h"
#include "testenvironment.h"

#include <guicentral/guicentral.h>

#include <QAction>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QtTest>

#include <memory>

namespace {

class Receiver : public QWidget
{
public:
    using QWidget::QWidget;
    bool onHotKey(int id)
    {
        ids.append(id);
        const auto action = actions.constFind(id);
        return action != actions.constEnd() ? (*action)() : consume;
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
        window.setWindowTitle(QStringLiteral("Main"));
        exitAction = window.menuBar()->addMenu(QStringLiteral("&File"))->addAction("E&xit");
        exitAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
        auto* central = new Receiver(&window);
        receiver = central;
        edit = new QLineEdit(central);
        window.setCentralWidget(central);
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

int addHotKey(Receiver* receiver, int key, int modifiers, bool applicationWide = true)
{
    return GuiCentral::Instance().AddHotKey(Qt::Key(key), unsigned(modifiers), receiver,
        QStringLiteral("Test"), QStringLiteral("Tests"), applicationWide, true);
}

bool isRegistered(int id)
{
    for (const GuiCentral::HotKey& hotKey : GuiCentral::Instance().HotKeys()) {
        if (hotKey.id == id)
            return true;
    }
    return false;
}

} // namespace

class TestGuiCentral : public QObject
{
    Q_OBJECT
private slots:
    void distinctIds();
    void delivery_data();
    void delivery();
    void onePressOneCall_data();
    void onePressOneCall();
    void endsWithReceiver();
    void windowScope_data();
    void windowScope();

private:
    TestConfigDir m_config;
};

void TestGuiCentral::distinctIds()
{
    Receiver receiver;
    const int f1 = addHotKey(&receiver, Qt::Key_F1, 0);
    const int shiftF1 = addHotKey(&receiver, Qt::Key_F1, Qt::SHIFT);
    const int again = addHotKey(&receiver, Qt::Key_F1, 0);
    QVERIFY(f1 > 0 && shiftF1 > 0 && again > 0);
    QVERIFY(f1 != shiftF1 && f1 != again && shiftF1 != again);
    QVERIFY(GuiCentral::Instance().RemoveHotKey(again));
    QVERIFY(!GuiCentral::Instance().RemoveHotKey(again));
    QVERIFY(isRegistered(f1) && isRegistered(shiftF1) && !isRegistered(again));
}

void TestGuiCentral::delivery_data()
{
    // Key combinations as QKeySequence spells them.
    QTest::addColumn<QString>("registered");
    QTest::addColumn<QString>("pressed");
    QTest::addColumn<bool>("consume");
    QTest::addColumn<int>("calls");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("exitTriggered");
    const auto row = [](const char* name, const char* registered, const char* pressed, bool consume,
                         int calls, const char* typed, int exitTriggered) {
        QTest::newRow(name) << QString::fromLatin1(registered) << QString::fromLatin1(pressed)
                            << consume << calls << QString::fromLatin1(typed) << exitTriggered;
    };
    row("F1", "F1", "F1", true, 1, "", 0);
    row("Shift+F1 is not F1", "F1", "Shift+F1", true, 0, "", 0);
    row("F1 is not Shift+F1", "Shift+F1", "F1", true, 0, "", 0);
    row("Shift+F1", "Shift+F1", "Shift+F1", true, 1, "", 0);
    row("Space passed on types", "Space", "Space", false, 1, " ", 0);
    row("Space consumed", "Space", "Space", true, 1, "", 0);
    row("Alt+F4 passed on to the menu", "Alt+F4", "Alt+F4", false, 1, "", 1);
    row("Alt+F4 consumed", "Alt+F4", "Alt+F4", true, 1, "", 0);
    row("other key", "F2", "A", true, 0, "a", 0);
}

// The keys come as a keyboard sends them, through the platform's way in: Qt 5 and Qt 6 differ
// in how that way reaches shortcuts, and a test's direct key events would not show it.
void TestGuiCentral::delivery()
{
    QFETCH(QString, registered);
    QFETCH(QString, pressed);
    QFETCH(bool, consume);
    QFETCH(int, calls);
    QFETCH(QString, typed);
    QFETCH(int, exitTriggered);

    MainWindow main;
    QVERIFY(main.show());
    main.receiver->consume = consume;
    const int combined = firstKey(QKeySequence(registered));
    const int id = addHotKey(main.receiver, combined & ~int(Qt::KeyboardModifierMask),
        combined & int(Qt::KeyboardModifierMask));
    QSignalSpy exitSpy(main.exitAction, &QAction::triggered);

    KeyScript press(&main.window, { "+" + pressed, "-" + pressed });
    QTRY_VERIFY(press.finished());
    QCOMPARE(main.receiver->ids, calls ? QList<int> { id } : QList<int>());
    QCOMPARE(main.edit->text(), typed);
    QCOMPARE(exitSpy.count(), exitTriggered);

    // The next press of the same key is offered anew.
    main.edit->clear();
    KeyScript again(&main.window, { "+" + pressed, "-" + pressed });
    QTRY_VERIFY(again.finished());
    QCOMPARE(main.receiver->ids.size(), 2 * calls);
    QCOMPARE(exitSpy.count(), 2 * exitTriggered);
}

void TestGuiCentral::onePressOneCall_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("dialogs");
    // F1 shows the hot-key list as the frame does; F5 asks in a box and F8 too but leaves the key
    // to Qt, as front ends may; F6 only counts; "box" is a front end asking outside any hot key,
    // with F7 registered by a widget in that box.
    const QStringList list { "Hotkeys" };
    const QStringList box { "Asking" };
    const QStringList ownBox { "Own box" };
    QTest::newRow("F1 released in the list, Escape")
        << QStringList { "+F1", "-F1", "+Esc", "-Esc" } << QStringList { "F1" } << list;
    QTest::newRow("F1 released in the list, Return")
        << QStringList { "+F1", "-F1", "+Return", "-Return" } << QStringList { "F1" } << list;
    QTest::newRow("F1 held until the list is closed")
        << QStringList { "+F1", "+Esc", "-Esc", "-F1" } << QStringList { "F1" } << list;
    QTest::newRow("F1 held, repeating into the list")
        << QStringList { "+F1", "~F1", "*F1", "~F1", "*F1", "-F1", "+Esc", "-Esc" }
        << QStringList { "F1" } << list;
    QTest::newRow("F1 pressed again in the list") << QStringList { "+F1", "-F1", "+F1", "-F1",
        "+Esc", "-Esc" } << QStringList { "F1" } << list;
    QTest::newRow("F1, list closed, F1")
        << QStringList { "+F1", "-F1", "+Esc", "-Esc", "+F1", "-F1", "+Return", "-Return" }
        << QStringList { "F1", "F1" } << list + list;
    QTest::newRow("box key released in the box, Escape")
        << QStringList { "+F5", "-F5", "+Esc", "-Esc" } << QStringList { "F5" } << box;
    QTest::newRow("box key pressed again in the box") << QStringList { "+F5", "-F5", "+F5", "-F5",
        "+Esc", "-Esc" } << QStringList { "F5" } << box;
    QTest::newRow("F1 in the box of a hot key") << QStringList { "+F5", "-F5", "+F1", "-F1", "+Esc",
        "-Esc" } << QStringList { "F5" } << box;
    QTest::newRow("box key not used, released in the box")
        << QStringList { "+F8", "-F8", "+Esc", "-Esc" } << QStringList { "F8" } << box;
    QTest::newRow("F1 in a front end's own box")
        << QStringList { "box", "+F1", "-F1", "+Esc", "-Esc" } << QStringList {} << ownBox;
    QTest::newRow("key of a widget in the own box")
        << QStringList { "box", "+F7", "-F7", "+Esc", "-Esc" } << QStringList { "F7" } << ownBox;
    QTest::newRow("held key repeats") << QStringList { "+F6", "*F6", "*F6", "-F6" }
                                      << QStringList { "F6", "F6", "F6" } << QStringList {};
    QTest::newRow("held key repeats, each repeat released")
        << QStringList { "+F6", "~F6", "*F6", "~F6", "*F6", "-F6" }
        << QStringList { "F6", "F6", "F6" } << QStringList {};
}

// Keys as a keyboard sends them, with dialogs opened from the hot-key handler; a press reaches
// the handler once, whatever is released, pressed or closed while its dialog runs.
void TestGuiCentral::onePressOneCall()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, dialogs);

    MainWindow main;
    QVERIFY(main.show());
    QStringList called;
    auto hotKey = [&](const QString& name, Receiver* receiver, std::function<bool()> action) {
        const int id = addHotKey(receiver, firstKey(QKeySequence(name)), 0);
        receiver->actions[id] = [&called, name, action] {
            called << name;
            return action();
        };
    };
    QWidget* window = &main.window;
    hotKey("F1", main.receiver, [window] {
        GuiCentral::Instance().ExecHotKeysDialog(window);
        return true;
    });
    hotKey("F5", main.receiver, [window] {
        QMessageBox::information(window, QStringLiteral("Asking"), QStringLiteral("Sure?"));
        return true;
    });
    hotKey("F8", main.receiver, [window] {
        QMessageBox::information(window, QStringLiteral("Asking"), QStringLiteral("Sure?"));
        return false;
    });
    hotKey("F6", main.receiver, [] { return true; });

    KeyScript script(window, steps, [&](const QString& step) {
        QCOMPARE(step, QStringLiteral("box"));
        QMessageBox ownBox(QMessageBox::Question, QStringLiteral("Own box"),
            QStringLiteral("Asked by the front end"), QMessageBox::Ok, window);
        hotKey("F7", new Receiver(&ownBox), [] { return true; });
        ownBox.exec();
    });
    QTRY_VERIFY_WITH_TIMEOUT(script.finished(), 10000);
    QCOMPARE(called, calls);
    QCOMPARE(script.dialogTitles(), dialogs);
}

void TestGuiCentral::endsWithReceiver()
{
    MainWindow main;
    QVERIFY(main.show());
    auto* doomed = new Receiver(&main.window);
    const int doomedId = addHotKey(doomed, Qt::Key_F3, 0);
    const int keptId = addHotKey(main.receiver, Qt::Key_F3, 0);
    delete doomed;
    QVERIFY(!isRegistered(doomedId));
    QVERIFY(isRegistered(keptId));
    QTest::keyClick(main.edit, Qt::Key_F3);
    QCOMPARE(main.receiver->ids, QList<int> { keptId });

    delete main.receiver;
    QVERIFY(!isRegistered(keptId));
}

void TestGuiCentral::windowScope_data()
{
    QTest::addColumn<bool>("applicationWide");
    QTest::addColumn<bool>("inOwnWindow");
    QTest::addColumn<int>("calls");
    QTest::newRow("wide, own window") << true << true << 1;
    QTest::newRow("wide, other window") << true << false << 1;
    QTest::newRow("local, own window") << false << true << 1;
    QTest::newRow("local, other window") << false << false << 0;
}

void TestGuiCentral::windowScope()
{
    QFETCH(bool, applicationWide);
    QFETCH(bool, inOwnWindow);
    QFETCH(int, calls);

    MainWindow main;
    QVERIFY(main.show());
    QLineEdit other;
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    addHotKey(main.receiver, Qt::Key_F5, 0, applicationWide);

    QWidget* target = inOwnWindow ? static_cast<QWidget*>(main.edit) : &other;
    QApplication::setActiveWindow(target->window());
    QVERIFY(QTest::qWaitForWindowActive(target->window()));
    QTest::keyClick(target, Qt::Key_F5);
    QCOMPARE(main.receiver->ids.size(), calls);
}

QTEST_MAIN(TestGuiCentral)
#include "tst_guicentral.moc"
