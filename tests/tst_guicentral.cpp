#include "modaldialog.h"

#include <guicentral/guicentral.h>

#include <QAction>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QtTest>

namespace {
struct Receiver : QWidget
{
    using QWidget::QWidget;
    bool onHotKey(int id) { return handler(names.value(id)); }
    QHash<int, QString> names;
    // What a front end does on a key, such as asking in a box; answers whether the key was used.
    std::function<bool(const QString& name)> handler = [](const QString&) { return true; };
};

// Registers `name` (as QKeySequence spells it) for `receiver`.
int addHotKey(Receiver* receiver, const QString& name, bool applicationWide = true)
{
    const int combined = firstKey(QKeySequence(name));
    const int id
        = GuiCentral::Instance().AddHotKey(Qt::Key(combined & ~int(Qt::KeyboardModifierMask)),
            unsigned(combined & int(Qt::KeyboardModifierMask)), receiver, name,
            QStringLiteral("Tests"), applicationWide, true);
    receiver->names[id] = name;
    return id;
}

void row(const char* tag, const char* steps, const char* result, const char* window = "main")
{
    QTest::newRow(tag) << QString(steps) << QString(result) << QString(window);
}
} // namespace

class TestGuiCentral : public QObject
{
    Q_OBJECT
private slots:
    // Steps as KeyScript takes them. In the main window (File menu: Exit on Alt+F4; focus: a line
    // edit): F1 shows the hot-key list as the frame does; F5 asks in a box, F8 too but leaves the
    // key to Qt, as front ends may; F3, F6 and Shift+F2 only count; Space and Alt+F4 are left to
    // Qt but in the row "consumed"; F9 works in its own window only; B was removed. "box" is a
    // front end asking outside any hot key, with F7 registered by a widget in that box.
    void keys_data()
    {
        for (const char* column : { "steps", "result", "window" })
            QTest::addColumn<QString>(column);
        // Result: the calls, the dialogs' titles, the text typed, the menu's exits. A press
        // reaches the handler once, whatever is released, pressed or closed while its dialog runs.
        row("F1 held, repeating into the list", "+F1 ~F1 *F1 ~F1 *F1 +Esc -Esc -F1",
            "F1|Hotkeys||0");
        row("keys in the boxes of hot keys", "+F5 -F5 +F5 -F5 +F1 -F1 +Esc -Esc +F8 -F8 +Esc -Esc",
            "F5 F8|Asking Asking||0");
        row("keys in a front end's own box, and after it", "box +F1 -F1 +F7 -F7 +Esc -Esc +F6 -F6",
            "F7 F6|Own box||0");
        row("held key repeats, removed key, own window's key", "+F6 *F6 ~F6 *F6 -F6 +B -B +F9 -F9",
            "F6 F6 F6 F9||b|0");
        // Modifiers are part of the key; the next press of a key is offered anew.
        row("modifiers", "+Shift+F3 -Shift+F3 +F2 -F2 +Shift+F2 -Shift+F2 +Shift+F2 -Shift+F2",
            "Shift+F2 Shift+F2|||0");
        // Only a consumed key is kept from the line edit and from the menu's Alt+F4.
        row("passed on", "+Space -Space +Space -Space +Alt+F4 -Alt+F4 +Alt+F4 -Alt+F4",
            "Space Space Alt+F4 Alt+F4||  |2");
        row("consumed", "+Space -Space +Alt+F4 -Alt+F4", "Space Alt+F4|||0");
        row("another window: the wide key only", "+F6 -F6 +F9 -F9", "F6|||0", "other");
    }
    // The keys come as a keyboard sends them, through the platform's way in: Qt 5 and Qt 6 differ
    // in how that way reaches shortcuts, and a test's direct key events would not show it.
    void keys()
    {
        QFETCH(QString, steps);
        QFETCH(QString, window);
        // The keys of the last row ended with their receivers.
        QVERIFY(GuiCentral::Instance().HotKeys().empty());
        QMainWindow main;
        QAction* exitAction = main.menuBar()->addMenu(QStringLiteral("&File"))->addAction("E&xit");
        exitAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
        QSignalSpy exits(exitAction, &QAction::triggered);
        auto* receiver = new Receiver(&main);
        auto* edit = new QLineEdit(receiver);
        main.setCentralWidget(receiver);
        QLineEdit other;
        QWidget* target = window == "main" ? static_cast<QWidget*>(&main) : &other;
        target->show();
        QApplication::setActiveWindow(target);
        (window == "main" ? edit : &other)->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(target));

        QStringList called;
        const bool consume = qstrcmp(QTest::currentDataTag(), "consumed") == 0;
        receiver->handler = [&](const QString& name) {
            called << name;
            if (name == "F1")
                GuiCentral::Instance().ExecHotKeysDialog(&main);
            else if (name == "F5" || name == "F8")
                QMessageBox::information(&main, "Asking", "Sure?");
            return name == "Space" || name == "Alt+F4" ? consume : name != "F8";
        };
        for (const char* name : { "F1", "F3", "F5", "F6", "F8", "Shift+F2", "Space", "Alt+F4" })
            addHotKey(receiver, name);
        addHotKey(receiver, "F9", false);
        QVERIFY(GuiCentral::Instance().RemoveHotKey(addHotKey(receiver, "B")));

        KeyScript script(target, steps.split(' ', Qt::SkipEmptyParts), [&](const QString& step) {
            QCOMPARE(step, QStringLiteral("box"));
            QMessageBox ownBox(QMessageBox::Question, "Own box", "Asked", QMessageBox::Ok, &main);
            auto* inBox = new Receiver(&ownBox);
            inBox->handler = receiver->handler;
            addHotKey(inBox, "F7");
            ownBox.exec();
        });
        QTRY_VERIFY_WITH_TIMEOUT(script.finished(), 10000);
        QTEST(QStringList({ called.join(' '), script.dialogTitles().join(' '),
                              edit->text() + other.text(), QString::number(exits.count()) })
                  .join('|'),
            "result");
    }
};

QTEST_MAIN(TestGuiCentral)
#include "tst_guicentral.moc"
