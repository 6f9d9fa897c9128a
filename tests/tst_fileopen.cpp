#include "holdfile.h"
#include "modaldialog.h"
#include "testenvironment.h"
#include "testframe.h"

#include <values/tree.h>
#include <values/valueselection.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QStatusBar>
#include <QtTest>

#include <csettings.h>

namespace {

struct LoadCall
{
    QString fileName;
    QString displayName;
    bool isLocal;
};

// Records every load; `result` is what it answers, `callFrame` runs the frame's own version.
class LoadFrame : public TestFrame
{
public:
    using CFrameMainWnd::m_currentFile;
    using CFrameMainWnd::m_lastOpenFolder;
    using TestFrame::TestFrame;
    QList<LoadCall> loads;
    bool result = true;
    bool callFrame = false;

protected:
    bool load(const QString& fileName, const QString& displayName, bool isLocal) override
    {
        loads << LoadCall { fileName, displayName, isLocal };
        return callFrame ? CFrameMainWnd::load(fileName, displayName, isLocal) : result;
    }
};

void writeFile(const QString& path, const QByteArray& data = "recording")
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// Answers the next file dialog; with `vanish`, the chosen file disappears as it is chosen.
ModalAnswer::Answer chooseFile(const QString& fileName, bool vanish = false)
{
    return [=](QWidget* dialog) {
        if (vanish) {
            QObject::connect(qobject_cast<QFileDialog*>(dialog), &QFileDialog::fileSelected,
                [fileName] { QFile::remove(fileName); });
        }
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

    QString path(const QString& name) const { return m_files.path() + QLatin1Char('/') + name; }

    std::unique_ptr<LoadFrame> makeFrame()
    {
        auto frame = std::make_unique<LoadFrame>(QStringLiteral("App"), QStringLiteral("frontend"),
            QStringLiteral("/FileOpen%1").arg(++m_roots));
        frame->initialize(true);
        return frame;
    }

    // Opens `file` through File → Open; `answer` handles the box that may follow.
    void openThroughDialog(LoadFrame& frame, const QString& file, bool vanish,
        ModalAnswer::Answer answer, SeenDialog* box)
    {
        ModalAnswer answers({ chooseFile(file, vanish), std::move(answer) });
        frame.m_openAction->trigger();
        if (box)
            *box = answers.dialogs().value(1);
    }

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("tst_fileopen")); }
    void init() { m_config = std::make_unique<TestConfigDir>(); }
    void cleanup() { m_config.reset(); }

    void openThroughTheDialog_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>(
            "situation"); // 0 free, 1 vanishes, 2 held by another process, 3 read-only
        QTest::addColumn<QString>("answer"); // button pressed in the box, "Escape", or ""
        QTest::addColumn<QString>("boxTitle");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("free file") << "a.rec" << 0 << ""
                                   << "" << true;
        QTest::newRow("name with % signs, blanks, umlauts") << "50 % für %1.rec" << 0 << ""
                                                            << "" << true;
        QTest::newRow("vanished") << "gone.rec" << 1 << "OK"
                                  << "File Error" << false;
        QTest::newRow("in use, No") << "held.rec" << 2 << "No"
                                    << "Warning" << false;
        QTest::newRow("in use, Escape") << "held.rec" << 2 << "Escape"
                                        << "Warning" << false;
        QTest::newRow("in use, Yes") << "held.rec" << 2 << "Yes"
                                     << "Warning" << true;
        QTest::newRow("read-only, Yes") << "ro.rec" << 3 << "Yes"
                                        << "Warning" << true;
    }
    void openThroughTheDialog()
    {
        QFETCH(QString, name);
        QFETCH(int, situation);
        QFETCH(QString, answer);
        QFETCH(QString, boxTitle);
        QFETCH(bool, loaded);
        const QString file = path(name);
        writeFile(file);
        std::unique_ptr<HoldFile> holder;
        if (situation == 2) {
            holder = std::make_unique<HoldFile>(file, HoldFile::Read);
            QVERIFY(holder->isHolding());
        }
        if (situation == 3)
            QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadOther);

        auto frame = makeFrame();
        const QString startPath = frame->m_fileOpenPath;
        auto* ext = new values::StringValue(QStringLiteral("ExtFileName"));
        QVERIFY(values::Tree::Instance()->AddValue(frame->m_valueRoot, ext));
        SeenDialog box;
        openThroughDialog(*frame, file, situation == 1,
            answer == QLatin1String("Escape") ? ModalAnswer::pressEscape()
                                              : ModalAnswer::pressButton(answer),
            &box);

        QCOMPARE(box.title, boxTitle);
        if (situation == 1) {
            QCOMPARE(box.text, QStringLiteral("File: %1 not found").arg(file));
            QCOMPARE(box.buttons, QStringList { "OK" });
        } else if (situation >= 2) {
            QCOMPARE(box.text,
                QStringLiteral("File: %1 is opened by another application!\nDo you want to open "
                               "the file anyway?\n\n")
                    .arg(file));
            QCOMPARE(box.buttons, (QStringList { "Yes", "No" }));
        }
        QCOMPARE(frame->loads.size(), loaded ? 1 : 0);
        QCOMPARE(frame->m_fileLoaded->GetStringValue(), QString(loaded ? "On" : "Off"));
        QCOMPARE(frame->m_lastOpenFolder, m_files.path());
        if (loaded) {
            QCOMPARE(frame->loads.first().fileName, file);
            QVERIFY(frame->loads.first().displayName.isEmpty() && frame->loads.first().isLocal);
            QCOMPARE(frame->m_fileName->GetValue(), file);
            QCOMPARE(ext->GetValue(), file);
            QCOMPARE(frame->m_fileOpenPath, startPath);
        } else {
            QCOMPARE(frame->m_fileName->GetValue(), QStringLiteral("No File Loaded"));
        }
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    void cancelledDialogAndTheFramesOwnLoad()
    {
        auto frame = makeFrame();
        frame->callFrame = true;
        {
            ModalAnswer cancel([](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); });
            frame->m_fileLoaded->Select(QStringLiteral("On"));
            frame->m_openAction->trigger();
            QVERIFY(cancel.seen());
        }
        QVERIFY(frame->loads.isEmpty());
        QCOMPARE(frame->m_fileLoaded->GetStringValue(), QStringLiteral("Off"));
        QVERIFY(frame->m_lastOpenFolder.isEmpty());

        // ExtFileName of another type is left alone.
        QVERIFY(values::Tree::Instance()->AddValue(
            frame->m_valueRoot, new values::ValueSelection(QStringLiteral("ExtFileName"))));
        const QString file = path("own.rec");
        writeFile(file);
        NameWatcher watcher;
        frame->m_fileName->AddObserver(&watcher);
        openThroughDialog(*frame, file, false, ModalAnswer::pressButton("OK"), nullptr);
        QCOMPARE(frame->windowTitle(), QStringLiteral("App - [%1]").arg(file));
        QCOMPARE(frame->m_fileLoaded->GetStringValue(), QStringLiteral("Off"));
        QCOMPARE(frame->m_fileName->GetValue(), file);
        // The second open starts in the folder of the first and leaves the open path empty.
        openThroughDialog(*frame, file, false, ModalAnswer::pressButton("OK"), nullptr);
        QVERIFY(frame->m_fileOpenPath.isEmpty());
        // Opening the same file again is told as well: its content may have changed.
        QCOMPARE(watcher.names, QStringList({ file, file }));
        frame->m_fileName->DeleteObserver(&watcher);
    }

    void recentEntries()
    {
        const QString kept = path("kept.rec");
        writeFile(kept);
        auto frame = makeFrame();
        frame->updateRecentFiles(kept);
        frame->updateRecentFiles(path("vanished.rec"));
        QList<QAction*> entries = frame->m_fileMenu->actions().mid(frame->m_firstRecentId);
        QCOMPARE(entries.size(), 2);

        entries.at(0)->trigger();
        QCOMPARE(frame->loads.size(), 1);
        QCOMPARE(frame->m_fileLoaded->GetStringValue(), QStringLiteral("On"));

        ModalAnswer notFound(ModalAnswer::pressButton("OK"));
        entries.at(1)->trigger();
        QCOMPARE(
            notFound.dialog().text, QStringLiteral("File: %1 not found").arg(path("vanished.rec")));
        QCOMPARE(frame->m_settings->recentFiles(), QStringList { kept });
        QCOMPARE(frame->m_fileMenu->actions().size(), frame->m_firstRecentId + 1);
        QCOMPARE(frame->m_fileLoaded->GetStringValue(), QStringLiteral("Off"));

        // An entry whose place left the list without a rebuild opens nothing.
        QAction* stale = frame->m_fileMenu->actions().last();
        frame->m_settings->recentFiles().clear();
        stale->trigger();
        QCOMPARE(frame->loads.size(), 1);
    }

    // What the dialogs are started with; the stored open path itself never changes.
    void dialogsStartInAFolderThatExists_data()
    {
        QTest::addColumn<QString>("openPath");
        QTest::addColumn<bool>("folderExists");
        QTest::newRow("default of another system") << "file:c:/temp" << false;
        QTest::newRow("backslash default") << "c:\\temp" << false;
        QTest::newRow("removed folder") << "file:" + path("gone") << false;
        QTest::newRow("existing, file: form") << "file:" + m_files.path() << true;
        QTest::newRow("existing, plain") << m_files.path() << true;
    }
    void dialogsStartInAFolderThatExists()
    {
        QFETCH(QString, openPath);
        QFETCH(bool, folderExists);
        auto frame = makeFrame();
        frame->m_fileOpenPath = openPath;
        frame->m_saveAsAction->setEnabled(true);
        QStringList folders;
        QStringList typedNames;
        const ModalAnswer::Answer look = [&](QWidget* dialog) {
            auto* fileDialog = qobject_cast<QFileDialog*>(dialog);
            QVERIFY(fileDialog);
            folders << fileDialog->directory().absolutePath();
            auto* nameBox = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            typedNames << (nameBox ? nameBox->text() : QStringLiteral("<no name box>"));
            ModalAnswer::rejectDialog(dialog);
        };
        {
            ModalAnswer answers(look);
            frame->m_openAction->trigger();
        }
        {
            ModalAnswer answers(look);
            frame->m_saveAsAction->trigger();
        }
        const QString expected = folderExists ? m_files.path() : QDir::homePath();
        QCOMPARE(folders, (QStringList { expected, expected }));
        QCOMPARE(typedNames, (QStringList { QString(), QString() }));
        QCOMPARE(frame->m_fileOpenPath, openPath);
    }

    void recentNamesAreAbsolute_data()
    {
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("stored");
        const QString abs = path("rel.rec");
        QTest::newRow("relative") << QStringList { "rel.rec" } << QStringList { abs };
        QTest::newRow("relative and absolute are one entry")
            << QStringList { "rel.rec", abs, "./rel.rec" } << QStringList { abs };
        QTest::newRow("archive names stay") << QStringList { "mirel:/a/b.rec", "MIREL:c.rec" }
                                            << QStringList { "mirel:/a/b.rec", "MIREL:c.rec" };
        QTest::newRow("newline and invalid UTF-8 in a name")
            << QStringList { "two\nlines.rec", QString::fromUtf8("bad\xff.rec") }
            << QStringList { path("two\nlines.rec"), path(QString::fromUtf8("bad\xff.rec")) };
    }
    void recentNamesAreAbsolute()
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
        // What was stored opens from any folder: a new frame reads the same names back.
        auto frame = makeFrame();
        QCOMPARE(frame->m_settings->recentFiles(), stored);
    }

    // A close request while an open waits for a stalled archive: the frame must outlive the
    // operation (its boxes are parented to it), then close and write its options once.
    void closeDuringAnArchiveWait()
    {
        QProcess server;
        server.start(QStringLiteral("python3"), { QFINDTESTDATA("support/faultyhttp.py") });
        QVERIFY(server.waitForReadyRead(5000));
        const QByteArray port = server.readLine().trimmed();
        qputenv("TEV_MIREL_SERVER", "http://127.0.0.1:" + port + "/");
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

    // A drop opens through the open dialog's steps; what is no local file is refused quietly.
    void dropOntoTheWindow_data()
    {
        QTest::addColumn<QStringList>("urls"); // "<file>" stands for a recording that exists
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("vanish"); // removed between the drop and the open
        QTest::addColumn<QString>("boxTitle");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QString>("status");
        QTest::newRow("one file") << QStringList { "<file>" } << true << false << "" << true << "";
        QTest::newRow("several files") << QStringList { "<file>", "<file>", "<file>" } << true
                                       << false << "" << true << "3 files dropped";
        QStringList many { "<file>" };
        for (int i = 0; i < 9999; ++i)
            many << path(QStringLiteral("other%1.rec").arg(i));
        QTest::newRow("10,000 URLs") << many << true << false << "" << true << "10000 files";
        QTest::newRow("vanishes before the open")
            << QStringList { "<file>" } << true << true << "File Error" << false << "";
        QTest::newRow("folder") << QStringList { m_files.path() } << false << false << "" << false
                                << "";
        QTest::newRow("web address")
            << QStringList { "http://example.org/a.rec" } << false << false << "" << false << "";
        QTest::newRow("missing file")
            << QStringList { path("none.rec") } << false << false << "" << false << "";
    }
    void dropOntoTheWindow()
    {
        QFETCH(QStringList, urls);
        QFETCH(bool, accepted);
        QFETCH(bool, vanish);
        QFETCH(QString, boxTitle);
        QFETCH(bool, loaded);
        QFETCH(QString, status);
        const QString file = path("dropped.rec");
        writeFile(file);
        QList<QUrl> list;
        for (const QString& url : urls)
            list << (url == QLatin1String("<file>") ? QUrl::fromLocalFile(file) : QUrl(url));
        if (urls.value(0).startsWith(QLatin1Char('/')))
            list[0] = QUrl::fromLocalFile(urls.at(0));
        QMimeData mime;
        mime.setUrls(list);

        auto frame = makeFrame();
        const QPoint inside = frame->rect().center();
        QDragEnterEvent enter(inside, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame.get(), &enter);
        QCOMPARE(enter.isAccepted(), accepted);
        QDropEvent drop(inside, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame.get(), &drop);
        QCOMPARE(drop.isAccepted(), accepted);
        if (vanish)
            QFile::remove(file);

        ModalAnswer box(ModalAnswer::pressButton("OK"), 1000);
        QTest::qWait(50); // the open runs from the event loop, after the drop
        QTRY_COMPARE_WITH_TIMEOUT(box.dialog().title, boxTitle, 2000);
        QCOMPARE(frame->loads.size(), loaded ? 1 : 0);
        QCOMPARE(frame->m_fileLoaded->GetStringValue(), QString(loaded ? "On" : "Off"));
        if (loaded) {
            QCOMPARE(frame->loads.first().fileName, file);
            QCOMPARE(frame->m_fileName->GetValue(), file);
        }
        QVERIFY(frame->statusBar()->currentMessage().contains(status));
        QFile::remove(file);
    }

    void saveAs_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QStringList>("existing"); // destination files that exist before
        QTest::addColumn<QStringList>("copied");
        QTest::addColumn<QString>("titleNames"); // the file the title names; empty: unchanged
        QTest::newRow("typed extension dropped")
            << "copy.txt" << QStringList() << QStringList { "copy.rec", "copy.avl" } << "copy.rec";
        QTest::newRow("no extension typed")
            << "copy" << QStringList() << QStringList { "copy.rec", "copy.avl" } << "copy.rec";
        QTest::newRow("existing recording kept")
            << "taken.rec" << QStringList { "taken.rec" } << QStringList { "taken.avl" } << "";
        QTest::newRow("existing companion kept")
            << "half.rec" << QStringList { "half.avl" } << QStringList { "half.rec" } << "half.rec";
    }
    void saveAs()
    {
        QFETCH(QString, destination);
        QFETCH(QStringList, existing);
        QFETCH(QStringList, copied);
        QFETCH(QString, titleNames);
        QTemporaryDir target;
        // The source recording has no ".bt" companion, which is skipped without a word.
        writeFile(path("source.rec"), "rec");
        writeFile(path("source.avl"), "avl");
        for (const QString& name : existing)
            writeFile(target.path() + QLatin1Char('/') + name, "old");

        auto frame = makeFrame();
        frame->m_currentFile = path("source.rec");
        frame->m_fileOpenPath = target.path();
        frame->m_saveAsAction->setEnabled(true);
        const QString title = frame->windowTitle();
        // The dialog must not ask "replace?": the frame never overwrites, and its box says so.
        ModalAnswer answers({ chooseFile(target.path() + QLatin1Char('/') + destination),
            ModalAnswer::pressButton("OK") });
        frame->m_saveAsAction->trigger();
        const SeenDialog report = answers.dialogs().value(1);

        for (const QString& name : copied) {
            QCOMPARE(fileBytes(target.path() + QLatin1Char('/') + name),
                QByteArray(name.endsWith(QLatin1String(".rec")) ? "rec" : "avl"));
        }
        for (const QString& name : existing)
            QCOMPARE(fileBytes(target.path() + QLatin1Char('/') + name), QByteArray("old"));
        QCOMPARE(
            QDir(target.path()).entryList(QDir::Files).size(), existing.size() + copied.size());
        QCOMPARE(report.title, existing.isEmpty() ? QString() : "Copy File Information");
        for (const QString& name : existing)
            QVERIFY(report.text.contains(name));
        QCOMPARE(frame->windowTitle(),
            titleNames.isEmpty() ? title
                                 : QStringLiteral("App - [%1/%2]").arg(target.path(), titleNames));
    }

    void saveAsOntoTheCurrentFile()
    {
        auto frame = makeFrame();
        frame->m_currentFile = path("same.rec");
        writeFile(frame->m_currentFile, "rec");
        ModalAnswer answers({ chooseFile(frame->m_currentFile), ModalAnswer::pressButton("OK") });
        frame->m_saveAsAction->setEnabled(true);
        frame->m_saveAsAction->trigger();
        QCOMPARE(answers.dialogs().value(1).title, QStringLiteral("Copy File Information"));
        QCOMPARE(answers.dialogs().value(1).text,
            QStringLiteral("The destination filename: [%1] is equal to the current filename.\n"
                           "Please specify a unique destination filename!")
                .arg(frame->m_currentFile));
        QCOMPARE(fileBytes(frame->m_currentFile), QByteArray("rec"));
    }
};

QTEST_MAIN(TestFileOpen)
#include "tst_fileopen.moc"
