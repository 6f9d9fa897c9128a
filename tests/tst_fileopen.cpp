// Opening files: through the dialog, a drop or a recent entry, with the in-use test against
// real processes; where the dialogs start; the recent list.

#include "holdfile.h"
#include "modaldialog.h"
#include "testenvironment.h"
#include "testframe.h"

#include <values/tree.h>
#include <values/valueselection.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QStatusBar>
#include <QtTest>

#include <csettings.h>

namespace {

// Records every load as "<file>|<display name>|<is local>"; the frame's own load sets the title.
class LoadFrame : public TestFrame
{
public:
    using TestFrame::TestFrame;
    QStringList loads;

protected:
    bool load(const QString& fileName, const QString& displayName, bool isLocal) override
    {
        loads << fileName + QLatin1Char('|') + displayName + QLatin1Char('|')
                + QString::number(isLocal);
        CFrameMainWnd::load(fileName, displayName, isLocal);
        return true;
    }
};

void writeFile(const QString& path, const QByteArray& data = "recording")
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), qint64(data.size()));
}

// Answers the next file dialog; with `vanish`, the chosen file disappears as it is chosen.
ModalAnswer::Answer chooseFile(const QString& fileName, bool vanish = false)
{
    return [=](QWidget* dialog) {
        if (auto* fileDialog = qobject_cast<QFileDialog*>(dialog); fileDialog && vanish)
            QObject::connect(
                fileDialog, &QFileDialog::fileSelected, [=] { QFile::remove(fileName); });
        ModalAnswer::chooseFile(fileName)(dialog);
    };
}

// The names "FileName" announced, one per change notification.
struct NameWatcher : IObserver
{
    QStringList names;
    void Update(Observable* observable, TChangeCode code) override
    {
        if (code == CC_Changed)
            names << static_cast<values::StringValue*>(observable)->GetValue();
    }
};

} // namespace

class TestFileOpen : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestConfigDir> m_config;
    QTemporaryDir m_files;
    int m_roots = 0;

    QString path(const QString& name) const { return m_files.filePath(name); }

    std::unique_ptr<LoadFrame> makeFrame()
    {
        auto frame = std::make_unique<LoadFrame>(QStringLiteral("App"), QStringLiteral("frontend"),
            QStringLiteral("/FileOpen%1").arg(++m_roots));
        frame->initialize(true);
        return frame;
    }

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("tst_fileopen")); }
    void init() { m_config = std::make_unique<TestConfigDir>(); }
    void cleanup() { m_config.reset(); }

    // An open through the dialog, a drop of `count` URLs or a recent entry: the same steps.
    void open_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("name"); // in the files folder, or a URL
        QTest::addColumn<QString>("situation"); // free, cancel, vanishes, held, read-only, refused
        QTest::addColumn<QString>("answer"); // the button pressed in the box that follows
        QTest::addColumn<int>("count");
        const auto row = [](const char* how, const char* name, const char* situation,
                             const char* answer = "", int count = 1) {
            QTest::addRow("%s %s, %s %s (%d)", how, name, situation, answer, count)
                << QString(how) << QString::fromUtf8(name) << QString(situation) << QString(answer)
                << count;
        };
        row("dialog", "a.rec", "free");
        row("dialog", "50 % für %1.rec", "free");
        row("dialog", "a.rec", "cancel");
        row("dialog", "gone.rec", "vanishes", "OK");
        row("dialog", "held.rec", "held", "No");
        row("dialog", "held.rec", "held", "Escape");
        row("dialog", "held.rec", "held", "Yes");
        row("dialog", "ro.rec", "read-only", "Yes");
        row("drop", "a.rec", "free");
        row("drop", "a.rec", "free", "", 3);
        row("drop", "a.rec", "free", "", 10000);
        row("drop", "gone.rec", "vanishes", "OK");
        row("drop", "held.rec", "held", "Yes");
        row("drop", ".", "refused"); // the folder
        row("drop", "none.rec", "refused");
        row("drop", "http://example.org/a.rec", "refused");
        row("recent", "a.rec", "free");
        row("recent", "gone.rec", "vanishes", "OK");
        row("recent", "held.rec", "held", "No");
    }
    void open()
    {
        QFETCH(QString, how);
        QFETCH(QString, name);
        QFETCH(QString, situation);
        QFETCH(QString, answer);
        QFETCH(int, count);
        const QString file = name.contains(':') ? name : path(name);
        const bool loaded = situation == "free" || answer == "Yes";
        if (situation != "refused")
            writeFile(file);
        std::unique_ptr<HoldFile> holder;
        if (situation == "held") {
            holder = std::make_unique<HoldFile>(file, HoldFile::Read);
            QVERIFY(holder->isHolding());
        }
        if (situation == "read-only")
            QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadOther);

        auto frame = makeFrame();
        const QString startPath = frame->m_fileOpenPath;
        // "ExtFileName" follows the opened file; one of another type is left alone.
        const QString extName = QStringLiteral("ExtFileName");
        values::ValueBase* ext = situation == "read-only"
            ? static_cast<values::ValueBase*>(new values::ValueSelection(extName))
            : new values::StringValue(extName);
        QVERIFY(values::Tree::Instance()->AddValue(frame->m_valueRoot, ext));
        // "FileLoaded" follows every open, also a cancelled one.
        frame->m_fileLoaded->Select(QLatin1String(situation == "cancel" ? "On" : "Off"));
        QList<ModalAnswer::Answer> answers;
        if (how == "dialog" && situation == "cancel")
            answers << &ModalAnswer::rejectDialog;
        else if (how == "dialog")
            answers << chooseFile(file, situation == "vanishes");
        if (how == "dialog" && situation == "free")
            answers << chooseFile(file); // for a second open, below
        if (!answer.isEmpty())
            answers << (answer == "Escape" ? ModalAnswer::pressEscape()
                                           : ModalAnswer::pressButton(answer));
        ModalAnswer modal(answers);
        if (how == "dialog") {
            frame->m_openAction->trigger();
        } else if (how == "recent") {
            frame->updateRecentFiles(file);
            if (situation == "vanishes")
                QFile::remove(file);
            frame->m_fileMenu->actions().at(frame->m_firstRecentId)->trigger();
            // A vanished file leaves the list, one in use stays.
            QCOMPARE(frame->m_settings->recentFiles().size(), situation == "vanishes" ? 0 : 1);
            QCOMPARE(frame->m_fileMenu->actions().size(),
                frame->m_firstRecentId + frame->m_settings->recentFiles().size());
        } else {
            QList<QUrl> urls { name.contains(':') ? QUrl(name) : QUrl::fromLocalFile(file) };
            for (int i = 1; i < count; ++i)
                urls << QUrl::fromLocalFile(path(QStringLiteral("other%1.rec").arg(i)));
            QMimeData mime;
            mime.setUrls(urls);
            const QPoint inside = frame->rect().center();
            QDragEnterEvent enter(inside, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(frame.get(), &enter);
            QDropEvent drop(inside, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(frame.get(), &drop);
            QCOMPARE(enter.isAccepted(), situation != "refused");
            QCOMPARE(drop.isAccepted(), situation != "refused");
            if (situation == "vanishes")
                QFile::remove(file);
            // The open runs from the event loop, after the drop has ended.
            QCoreApplication::processEvents();
            if (count > 1)
                QVERIFY(frame->statusBar()->currentMessage().contains(
                    QStringLiteral("%1 files dropped").arg(count)));
        }
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

        const QString box
            = situation == "vanishes" ? "File Error" : QString(answer.isEmpty() ? "" : "Warning");
        const SeenDialog seen = modal.dialogs().value(how == "dialog" ? 1 : 0);
        QCOMPARE(seen.title, box);
        QCOMPARE(seen.text.contains(file), !box.isEmpty());
        QCOMPARE(frame->loads, loaded ? QStringList { file + "||1" } : QStringList());
        QCOMPARE(frame->m_fileLoaded->GetStringValue(), QString(loaded ? "On" : "Off"));
        QCOMPARE(frame->m_fileName->GetValue(), loaded ? file : "No File Loaded");
        if (auto* text = dynamic_cast<values::StringValue*>(ext))
            QCOMPARE(text->GetValue(), loaded ? file : QString());
        QCOMPARE(frame->windowTitle(), loaded ? "App - [" + file + "]" : "App");
        QCOMPARE(frame->m_fileOpenPath, startPath);
        if (how != "dialog")
            return;
        // The next open starts where this one chose its file.
        QCOMPARE(frame->m_lastOpenFolder, situation == "cancel" ? QString() : m_files.path());
        if (situation == "free") {
            // Opening the same file again is told as well: its content may have changed. An
            // open after an open leaves the open path empty, so the first one's stays stored.
            NameWatcher watcher;
            frame->m_fileName->AddObserver(&watcher);
            frame->m_openAction->trigger();
            frame->m_fileName->DeleteObserver(&watcher);
            QCOMPARE(watcher.names, QStringList { file });
            QVERIFY(frame->m_fileOpenPath.isEmpty());
        }
    }

    // The folders the open and save dialogs start in; the stored open path never changes.
    void dialogsStartInAFolderThatExists_data()
    {
        QTest::addColumn<QString>("openPath");
        QTest::addColumn<QString>("lastOpen");
        QTest::addColumn<QString>("openFolder");
        QTest::addColumn<QString>("saveFolder");
        const QString home = QDir::homePath();
        const QString files = m_files.path();
        const QString none;
        QTest::newRow("default of another system") << "file:c:/temp" << none << home << home;
        QTest::newRow("backslash default") << "c:\\temp" << none << home << home;
        QTest::newRow("removed folder") << "file:" + path("gone") << none << home << home;
        QTest::newRow("existing, file: form") << "file:" + files << none << files << files;
        QTest::newRow("existing, plain") << files << none << files << files;
        QTest::newRow("after an open") << "file:c:/temp" << files << files << home;
    }
    void dialogsStartInAFolderThatExists()
    {
        QFETCH(QString, openPath);
        QFETCH(QString, lastOpen);
        QFETCH(QString, openFolder);
        QFETCH(QString, saveFolder);
        auto frame = makeFrame();
        frame->m_fileOpenPath = openPath;
        frame->m_lastOpenFolder = lastOpen;
        frame->m_saveAsAction->setEnabled(true);
        QStringList seen;
        const ModalAnswer::Answer look = [&](QWidget* dialog) {
            auto* fileDialog = qobject_cast<QFileDialog*>(dialog);
            QVERIFY(fileDialog);
            // Nothing typed into the name box, where a stray Enter would save.
            seen << fileDialog->directory().absolutePath()
                    + fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            ModalAnswer::rejectDialog(dialog);
        };
        ModalAnswer answers({ look, look });
        frame->m_openAction->trigger();
        frame->m_saveAsAction->trigger();
        QCOMPARE(seen, (QStringList { openFolder, saveFolder }));
        QCOMPARE(frame->m_fileOpenPath, openPath);
    }

    // The recent list keeps nine distinct absolute names, also through a restart from elsewhere.
    void recentNames_data()
    {
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("stored");
        const QString abs = path("rel.rec");
        QStringList ten;
        for (int i = 0; i < 10; ++i)
            ten << path(QStringLiteral("%1.rec").arg(i));
        QTest::newRow("relative") << QStringList { "rel.rec" } << QStringList { abs };
        QTest::newRow("relative and absolute are one entry")
            << QStringList { "rel.rec", abs, "./rel.rec" } << QStringList { abs };
        QTest::newRow("listed one keeps its place")
            << QStringList { ten[0], ten[1], ten[0] } << QStringList(ten.mid(0, 2));
        QTest::newRow("tenth drops the oldest") << ten << QStringList(ten.mid(1));
        QTest::newRow("archive names stay") << QStringList { "mirel:/a/b.rec", "MIREL:c.rec" }
                                            << QStringList { "mirel:/a/b.rec", "MIREL:c.rec" };
        QTest::newRow("newline and invalid UTF-8 in a name")
            << QStringList { "two\nlines.rec", QString::fromUtf8("bad\xff.rec") }
            << QStringList { path("two\nlines.rec"), path(QString::fromUtf8("bad\xff.rec")) };
    }
    void recentNames()
    {
        QFETCH(QStringList, added);
        QFETCH(QStringList, stored);
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_files.path()));
        {
            auto frame = makeFrame();
            for (const QString& name : added)
                frame->updateRecentFiles(name);
            QCOMPARE(frame->m_settings->recentFiles(), stored);
        }
        QVERIFY(QDir::setCurrent(previous));
        auto frame = makeFrame();
        QCOMPARE(frame->m_settings->recentFiles(), stored);
        const QList<QAction*> entries = frame->m_fileMenu->actions().mid(frame->m_firstRecentId);
        QCOMPARE(entries.size(), stored.size());
        QCOMPARE(
            entries.last()->text(), QStringLiteral("&%1 %2").arg(stored.size()).arg(stored.last()));
        // An entry whose place left the list without a rebuild opens nothing.
        frame->m_settings->recentFiles().clear();
        entries.last()->trigger();
        QVERIFY(frame->loads.isEmpty());
    }

    // A close request while an open waits for a stalled archive: the frame must outlive the
    // operation (its boxes are parented to it), then close and write its options once.
    void closeDuringAnArchiveWait()
    {
        QProcess server;
        server.start(QStringLiteral("python3"), { QFINDTESTDATA("support/faultyhttp.py") });
        QVERIFY(server.waitForReadyRead(5000));
        qputenv("TEV_MIREL_SERVER", "http://127.0.0.1:" + server.readLine().trimmed() + "/");
        qputenv("TEV_MIREL_STALL_TIMEOUT_MS", "1000");
        auto* frame = makeFrame().release();
        QPointer<LoadFrame> alive(frame);
        frame->updateRecentFiles(QStringLiteral("mirel:/stall-before-headers/run1.rec"));
        frame->m_fileOpenPath = QStringLiteral("file:/closed/during/wait");
        QTimer::singleShot(300, frame, [frame] { QVERIFY(!frame->close()); });
        ModalAnswer box(ModalAnswer::pressButton("OK"), 15000);
        frame->m_fileMenu->actions().at(frame->m_firstRecentId)->trigger();
        qunsetenv("TEV_MIREL_SERVER");
        qunsetenv("TEV_MIREL_STALL_TIMEOUT_MS");
        server.kill();
        server.waitForFinished();

        QVERIFY(alive); // still here after the operation returned
        QVERIFY(box.seen());
        QTRY_VERIFY(!alive); // the close was repeated once the operation had ended
        CSettings settings(QStringLiteral("Settings"), nullptr);
        settings.read(QString());
        QCOMPARE(settings.fileOpenPath(), QStringLiteral("file:/closed/during/wait"));
    }
};

QTEST_MAIN(TestFileOpen)
#include "tst_fileopen.moc"
