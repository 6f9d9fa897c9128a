#include "modaldialog.h"
#include "testenvironment.h"
#include "testframe.h"

#include <guicentral/guicentral.h>

#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QtTest>

#include <csettings.h>

namespace {
QStringList texts(const QList<QAction*>& actions)
{
    QStringList result;
    for (QAction* action : actions)
        result << (action->isSeparator() ? QStringLiteral("|") : action->text());
    return result;
}

// A frame that records what its hot-key handler answered.
class HotKeyFrame : public TestFrame
{
public:
    QList<QPair<int, bool>> answers;
    bool onHotKey(int id) override
    {
        const bool handled = TestFrame::onHotKey(id);
        answers << qMakePair(id, handled);
        return handled;
    }
};
} // namespace

class TestFrameMenus : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestConfigDir> m_dir;

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("tst_menus")); }
    void init() { m_dir = std::make_unique<TestConfigDir>(); }
    void cleanup() { m_dir.reset(); }

    void barsAndMenus_data()
    {
        QTest::addColumn<bool>("hooks");
        QTest::addColumn<QStringList>("toolBar");
        QTest::addColumn<QStringList>("fileMenu");
        QTest::addColumn<QStringList>("menuBar");
        QTest::newRow("no hook items")
            << false << QStringList { "&Open File", "&Save as file...", "|" }
            << QStringList { "&Open File", "&Save as file...", "|", "Exit" }
            << QStringList { "File", "|", "&Help" };
        QTest::newRow("an item in every hook")
            << true
            << QStringList { "&Open File", "&Save as file...", "insertMainToolBarItems", "|",
                   "insertMainBar", "insertMainBarHelpText" }
            << QStringList { "&Open File", "&Save as file...", "insertFileMenuItems", "|", "Exit" }
            << QStringList { "File", "insertMenus", "|", "&Help" };
    }
    void barsAndMenus()
    {
        QFETCH(bool, hooks);
        QFETCH(QStringList, toolBar);
        QFETCH(QStringList, fileMenu);
        QFETCH(QStringList, menuBar);
        TestFrame frame;
        frame.addHookItems = hooks;
        frame.initialize(false);

        QCOMPARE(frame.m_mainToolBar->objectName(), QStringLiteral("File Operations"));
        QCOMPARE(frame.m_mainToolBar->windowTitle(), QStringLiteral("File Operations"));
        QCOMPARE(texts(frame.m_mainToolBar->actions()), toolBar);
        QCOMPARE(texts(frame.m_fileMenu->actions()), fileMenu);
        QCOMPARE(texts(frame.menuBar()->actions()), menuBar);
        QCOMPARE(frame.m_firstRecentId, fileMenu.size());
        QCOMPARE(frame.menuBar()->objectName(), QStringLiteral("MenuBar"));
        QCOMPARE(frame.m_fileMenu->objectName(), QStringLiteral("File"));

        QCOMPARE(frame.m_openAction->objectName(), QStringLiteral("Open File"));
        QCOMPARE(frame.m_openAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
        QCOMPARE(frame.m_saveAsAction->objectName(), QStringLiteral("Save as file"));
        QCOMPARE(frame.m_saveAsAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
        QVERIFY(!frame.m_saveAsAction->isEnabled());
        QCOMPARE(frame.m_exitAction->shortcut(), QKeySequence(QStringLiteral("Alt+F4")));

        QCOMPARE(frame.m_statusLabel->text(), QStringLiteral("Idle"));
        QCOMPARE(frame.statusBar()->currentMessage(), QStringLiteral("Ready"));
        QTRY_COMPARE_WITH_TIMEOUT(frame.statusBar()->currentMessage(), QString(), 4000);
        QCOMPARE(frame.m_statusLabel->text(), QStringLiteral("Idle"));
    }

    void helpMenuFollowsTheConfiguredFile_data()
    {
        QTest::addColumn<QString>("helpFile");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("no entry") << QString() << false;
        QTest::newRow("missing file") << "/nonexistent/help.html" << false;
        QTest::newRow("existing file") << "help.html" << true;
    }
    void helpMenuFollowsTheConfiguredFile()
    {
        QFETCH(QString, helpFile);
        QFETCH(bool, enabled);
        if (helpFile == QLatin1String("help.html")) {
            helpFile = m_dir->path() + QStringLiteral("/help.html");
            QFile file(helpFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        if (!helpFile.isEmpty())
            m_dir->writeIni(QStringLiteral("frontend"), "HelpFile=" + helpFile.toUtf8() + "\n");
        TestFrame frame;
        frame.initialize(false);
        auto* help = frame.menuBar()->actions().last()->menu();
        QVERIFY(help);
        QCOMPARE(help->actions().first()->text(), QStringLiteral("Help Contents"));
        QCOMPARE(help->actions().first()->isEnabled(), enabled);
    }

    void recentFileEntries()
    {
        m_dir->writeIni(QStringLiteral("tst_menus"),
            "[Settings]\nFiles1=/r/a.rec\nFiles2=/r/b.rec\nFiles3=/r/c.rec\n");
        TestFrame frame;
        frame.initialize(false);
        const QList<QAction*> actions = frame.m_fileMenu->actions();
        QCOMPARE(actions.size(), 7);
        QCOMPARE(
            texts(actions.mid(4)), (QStringList { "&1 /r/a.rec", "&2 /r/b.rec", "&3 /r/c.rec" }));
        QCOMPARE(actions.at(6)->data().toInt(), 6);

        // A tenth file drops the oldest; a listed one changes nothing, not even its place.
        for (int i = 0; i < 7; ++i)
            frame.updateRecentFiles(QStringLiteral("/r/new%1.rec").arg(i));
        frame.updateRecentFiles(QStringLiteral("/r/b.rec"));
        QStringList& list = frame.m_settings->recentFiles();
        QCOMPARE(list.size(), 9);
        QCOMPARE(list.first(), QStringLiteral("/r/b.rec"));
        QCOMPARE(frame.m_fileMenu->actions().size(), 4 + 9);
        QCOMPARE(frame.m_fileMenu->actions().at(4)->text(), QStringLiteral("&1 /r/b.rec"));

        // A list longer than nine loses one entry per addition; the menu shows nine.
        list << QStringLiteral("/r/x.rec") << QStringLiteral("/r/y.rec");
        frame.updateRecentFiles(QStringLiteral("/r/z.rec"));
        QCOMPARE(list.size(), 11);
        QCOMPARE(frame.m_fileMenu->actions().size(), 4 + 9);

        // Actions a front end appends later take places of the entries.
        frame.m_fileMenu->addAction(QStringLiteral("late"));
        frame.updateRecentFilesMenu();
        QCOMPARE(frame.m_fileMenu->actions().size(), 4 + 9);
        QCOMPARE(frame.m_fileMenu->actions().at(4)->text(), QStringLiteral("late"));
    }

    void enableFileMenu()
    {
        m_dir->writeIni(
            QStringLiteral("tst_menus"), "[Settings]\nFiles1=/r/a.rec\nFiles2=/r/b.rec\n");
        TestFrame frame;
        frame.initialize(false);
        frame.m_saveAsAction->setEnabled(true);
        // An entry without data and one that repeats the id of the first recent entry.
        QAction* plain = frame.m_fileMenu->addAction(QStringLiteral("plain"));
        QAction* sameId = frame.m_fileMenu->addAction(QStringLiteral("same id"));
        sameId->setData(frame.m_firstRecentId);

        frame.enableFileMenu(false);
        for (QAction* action : frame.m_fileMenu->actions()) {
            const bool keeps = action == frame.m_saveAsAction || action == plain || action == sameId
                || action->isSeparator();
            QVERIFY2(action->isEnabled() == keeps, qPrintable(action->text()));
        }
        frame.enableFileMenu(true);
        QVERIFY(frame.m_exitAction->isEnabled() && frame.m_openAction->isEnabled());
    }

    // Hot keys pressed on a shown window: F1 shows the list; the others go on to Qt.
    void hotKeys()
    {
        auto* frame = new HotKeyFrame;
        frame->initialize(true);
        auto* edit = new QLineEdit;
        frame->m_splitter->addWidget(edit);
        // Menu shortcuts such as Exit's Alt+F4 work only in the active window.
        QApplication::setActiveWindow(frame);
        QVERIFY(QTest::qWaitForWindowActive(frame));
        edit->setFocus();
        QPointer<HotKeyFrame> guard(frame);
        QSignalSpy exits(frame->m_exitAction, &QAction::triggered);

        // F1 as a keyboard sends it: released while the list is open, which Escape closes.
        int listedRows = 0;
        KeyScript f1(
            frame, { "+F1", "-F1", "look", "+Esc", "-Esc" }, [&listedRows](const QString&) {
                QWidget* dialog = QApplication::activeModalWidget();
                if (auto* table = dialog ? dialog->findChild<QTableWidget*>() : nullptr)
                    listedRows = table->rowCount();
            });
        QTRY_VERIFY(f1.finished());
        QCOMPARE(f1.dialogTitles(), QStringList { "Hotkeys" });
        QVERIFY(listedRows >= 4);
        QCOMPARE(frame->answers, (QList<QPair<int, bool>> { { frame->m_helpHotKeyId, true } }));

        QTest::keyClick(edit, Qt::Key_F1, Qt::ShiftModifier);
        QTest::keyClick(edit, Qt::Key_Space);
        QCOMPARE(edit->text(), QStringLiteral(" "));
        QCOMPARE(exits.count(), 0);

        // The closed dialog handed the activation back; on the offscreen platform by hand.
        QApplication::setActiveWindow(frame);
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QTest::keyClick(edit, Qt::Key_F4, Qt::AltModifier);
        QCOMPARE(exits.count(), 1);
        QTRY_VERIFY(guard.isNull());
    }

    void quitEndsTheEventLoopAndWritesTheOptions()
    {
        auto* frame = new TestFrame;
        frame->initialize(true);
        frame->m_fileOpenPath = QStringLiteral("/quit/folder");
        QPointer<TestFrame> guard(frame);
        // Slot index 3 is slotQuit.
        const QMetaObject& meta = CFrameMainWnd::staticMetaObject;
        QTimer::singleShot(0, frame, [frame, &meta] {
            meta.method(meta.methodOffset() + 3).invoke(frame, Qt::DirectConnection);
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());
        QSettings stored(m_dir->iniPath(QStringLiteral("tst_menus")), QSettings::IniFormat);
        QCOMPARE(stored.value("Settings/FileOpenPath").toString(), QStringLiteral("/quit/folder"));
    }
};

QTEST_MAIN(TestFrameMenus)
#include "tst_framemenus.moc"
