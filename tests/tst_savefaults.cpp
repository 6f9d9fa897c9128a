// Save as copies the recording and its companions under the name chosen in the dialog, also when
// a fault strikes mid-copy: the destination runs out of room, another program takes its name, or
// the source is deleted or cut short. No partial copy is left, nothing that existed changes, and
// the "Copy File Information" box names what was not copied.

#include "modaldialog.h"
#include "testenvironment.h"
#include "testframe.h"

#include <sys/fanotify.h>
#include <sys/resource.h>

#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <thread>
#include <unistd.h>

namespace {
enum Fault { None, DestinationFull, DestinationAppears, SourceUnlinked, SourceTruncated };

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), qint64(data.size()));
}

// Runs `strike` while the first read of the file marked in fanotify group `group` is held, so
// that the fault comes between the start and the end of the copy without timing luck.
void strikeOnFirstRead(int group, const std::atomic<bool>& stop, std::atomic<bool>& fired,
    const std::function<void()>& strike)
{
    while (!stop) {
        pollfd fds = { group, POLLIN, 0 };
        alignas(fanotify_event_metadata) char buffer[4096];
        ssize_t left = ::poll(&fds, 1, 20) > 0 ? ::read(group, buffer, sizeof buffer) : 0;
        for (auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
             left > 0 && FAN_EVENT_OK(event, left); event = FAN_EVENT_NEXT(event, left)) {
            if (!fired.exchange(true))
                strike();
            const fanotify_response allow = { event->fd, FAN_ALLOW };
            while (::write(group, &allow, sizeof allow) < 0 && errno == EINTR) { }
            ::close(event->fd);
        }
    }
}
} // namespace

class TestSaveFaults : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestConfigDir> m_config;

    std::unique_ptr<TestFrame> makeFrame(const QString& currentFile, const QString& openPath)
    {
        auto frame = std::make_unique<TestFrame>(QStringLiteral("App"));
        frame->initialize(true);
        frame->m_currentFile = currentFile;
        frame->m_fileOpenPath = openPath;
        frame->m_saveAsAction->setEnabled(true);
        return frame;
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("tst_savefaults"));
        // Writes past a lowered file size limit then fail with EFBIG, as on a full disk.
        ::signal(SIGXFSZ, SIG_IGN);
    }
    void init() { m_config = std::make_unique<TestConfigDir>(); }
    void cleanup() { m_config.reset(); }

    void saveAs_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("existing"); // in the destination folder before
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("struck"); // the extension of the file the fault strikes
        const auto row = [](const char* tag, const char* typed, QStringList existing, Fault fault,
                             const char* struck = "") {
            QTest::newRow(tag) << QString(typed) << existing << int(fault) << QString(struck);
        };
        row("typed extension dropped", "copy.txt", {}, None);
        row("no extension typed", "copy", {}, None);
        row("existing recording kept", "taken.rec", { "taken.rec" }, None);
        row("existing companion kept", "half.rec", { "half.avl" }, None);
        row("recording larger than the room left", "copy.rec", {}, DestinationFull, ".rec");
        row("companion larger than the room left", "copy.rec", {}, DestinationFull, ".avl");
        row("recording name taken meanwhile", "copy.rec", {}, DestinationAppears, ".rec");
        row("companion name taken meanwhile", "copy.rec", {}, DestinationAppears, ".bt");
        // The open descriptor still reaches the whole file: the copy is complete.
        row("recording deleted meanwhile", "copy.rec", {}, SourceUnlinked, ".rec");
        row("recording cut short meanwhile", "copy.rec", {}, SourceTruncated, ".rec");
        row("companion cut short meanwhile", "copy.rec", {}, SourceTruncated, ".avl");
    }
    void saveAs()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, existing);
        QFETCH(int, fault);
        QFETCH(QString, struck);
        QTemporaryDir sources, target;
        // Without a fault the source has no ".bt" companion, which is skipped without a word.
        // The struck file is larger than the size limit; the others fit well below it.
        QMap<QString, QByteArray> source;
        for (const QString extension : { ".rec", ".bt", ".avl" }) {
            if (fault == None && extension == ".bt")
                continue;
            for (int i = 0; i < (extension == struck ? 256 * 1024 : 4096); ++i)
                source[extension] += char(extension.at(1).toLatin1() + i * 31 + i / 509);
            writeFile(sources.filePath("run" + extension), source[extension]);
        }
        for (const QString& name : existing)
            writeFile(target.filePath(name), "old");
        const QString base = target.filePath(QFileInfo(typed).completeBaseName());
        const QString hit = base + struck;
        const QString struckSource = sources.filePath("run" + struck);
        auto frame = makeFrame(sources.filePath("run.rec"), target.path());

        rlimit unlimited {};
        ::getrlimit(RLIMIT_FSIZE, &unlimited);
        const rlimit lowered = { 64 * 1024, unlimited.rlim_max };
        if (fault == DestinationFull)
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
        const int group = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_LARGEFILE);
        if (fault > DestinationFull
            && (group < 0
                || ::fanotify_mark(group, FAN_MARK_ADD, FAN_ACCESS_PERM, AT_FDCWD,
                    QFile::encodeName(struckSource).constData()))) {
            ::close(group);
            QSKIP("fanotify permission events need CAP_SYS_ADMIN");
        }
        std::atomic<bool> stop { false }, fired { false };
        std::thread hook(strikeOnFirstRead, group, std::cref(stop), std::ref(fired), [&] {
            QFile intruder(hit);
            if (fault == DestinationAppears && intruder.open(QIODevice::NewOnly))
                intruder.write("intruder");
            if (fault == SourceUnlinked)
                QFile::remove(struckSource);
            if (fault == SourceTruncated)
                QFile(struckSource).resize(128 * 1024);
        });
        // The dialog must not ask "replace?": the frame never overwrites, and its box says so.
        ModalAnswer answers(
            { ModalAnswer::chooseFile(target.filePath(typed)), ModalAnswer::pressButton("OK") });
        frame->m_saveAsAction->trigger();
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        stop = true;
        hook.join();
        ::close(group);
        QCOMPARE(
            fired.load(), fault > DestinationFull); // else the fault came too late to test anything

        // Each destination is the whole source, what was there before, or absent; no temporary
        // file is left beside them.
        QMap<QString, QByteArray> expected;
        QStringList notCopied;
        for (auto it = source.cbegin(); it != source.cend(); ++it) {
            const QString copy = base + it.key();
            const QString name = QFileInfo(copy).fileName();
            if (existing.contains(name))
                expected[name] = "old";
            else if (copy == hit && fault == DestinationAppears)
                expected[name] = "intruder";
            else if (copy != hit || fault == SourceUnlinked)
                expected[name] = it.value();
            if (expected.value(name) != it.value())
                notCopied << copy;
        }
        QStringList present = filesBelow(target.path());
        present.sort();
        QCOMPARE(present, expected.keys());
        for (const QString& name : present)
            QCOMPARE(fileBytes(target.filePath(name)), expected[name]);
        // The user is told exactly which files were not copied.
        const SeenDialog box = answers.dialogs().value(1);
        QCOMPARE(box.title, notCopied.isEmpty() ? QString() : "Copy File Information");
        for (const QString& extension : source.keys())
            QCOMPARE(box.text.contains(base + extension), notCopied.contains(base + extension));
        // The title names the new recording only when it was copied.
        QCOMPARE(frame->windowTitle(),
            notCopied.contains(base + ".rec") ? "App" : "App - [" + base + ".rec]");
    }

    void saveAsOntoTheCurrentFile()
    {
        QTemporaryDir folder;
        const QString current = folder.filePath("same.rec");
        writeFile(current, "rec");
        auto frame = makeFrame(current, folder.path());
        ModalAnswer answers({ ModalAnswer::chooseFile(current), ModalAnswer::pressButton("OK") });
        frame->m_saveAsAction->trigger();
        QCOMPARE(answers.dialogs().value(1).title, QStringLiteral("Copy File Information"));
        QVERIFY(answers.dialogs().value(1).text.contains("[" + current + "]"));
        QCOMPARE(fileBytes(current), QByteArray("rec"));
    }
};

QTEST_MAIN(TestSaveFaults)
#include "tst_savefaults.moc"
