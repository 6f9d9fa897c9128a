// Save as under faults that strike while a file is being copied: the destination runs out of
// room, its name is taken, or the source goes away. Whatever happens, no partial copy is left,
// nothing that existed is changed and the "Copy File Information" box names what was not copied.

#include "modaldialog.h"
#include "testenvironment.h"
#include "testframe.h"

#include <sys/fanotify.h>
#include <sys/resource.h>

#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <signal.h>
#include <thread>
#include <unistd.h>

namespace {

class SaveFrame : public TestFrame
{
public:
    using CFrameMainWnd::m_currentFile;
    using CFrameMainWnd::save;
    using TestFrame::TestFrame;
};

enum Fault {
    DestinationFull, ///< a file size limit stops the writes, as a full disk would
    DestinationAppears, ///< another program creates the destination name meanwhile
    SourceUnlinked, ///< the source is deleted meanwhile
    SourceTruncated, ///< the source is cut to half its size meanwhile
};

const QByteArray kIntruder = "written by another program";

QByteArray content(int size, char seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(seed + i * 31 + i / 509);
    return bytes;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Holds the first read of a file until `onFirstRead` has run on a thread of its own, through a
// fanotify permission event: the fault then strikes exactly between the start and the end of
// the copy, without timing luck. Needs CAP_SYS_ADMIN.
class FirstReadHook
{
public:
    FirstReadHook(const QString& path, std::function<void()> onFirstRead)
        : m_onFirstRead(std::move(onFirstRead))
    {
        m_group = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_LARGEFILE);
        if (m_group < 0 || ::pipe2(m_stop, O_CLOEXEC) != 0
            || ::fanotify_mark(m_group, FAN_MARK_ADD, FAN_ACCESS_PERM, AT_FDCWD,
                   QFile::encodeName(path).constData())
                != 0) {
            m_whyNot = QString::fromLocal8Bit(strerror(errno));
            return;
        }
        m_thread = std::thread([this] { run(); });
    }
    ~FirstReadHook()
    {
        if (m_thread.joinable()) {
            const char stop = 's';
            while (::write(m_stop[1], &stop, 1) < 0 && errno == EINTR) { }
            m_thread.join();
        }
        for (int fd : { m_group, m_stop[0], m_stop[1] }) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    FirstReadHook(const FirstReadHook&) = delete;
    FirstReadHook& operator=(const FirstReadHook&) = delete;

    bool isActive() const { return m_thread.joinable(); }
    QString whyNot() const { return m_whyNot; }
    bool fired() const { return m_fired; }

private:
    void run()
    {
        pollfd fds[2] = { { m_group, POLLIN, 0 }, { m_stop[0], POLLIN, 0 } };
        while (::poll(fds, 2, -1) >= 0 || errno == EINTR) {
            if (fds[1].revents)
                return;
            if (!(fds[0].revents & POLLIN))
                continue;
            alignas(fanotify_event_metadata) char buffer[4096];
            const ssize_t length = ::read(m_group, buffer, sizeof buffer);
            if (length <= 0)
                continue;
            auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
            for (ssize_t left = length; FAN_EVENT_OK(event, left);
                 event = FAN_EVENT_NEXT(event, left)) {
                if ((event->mask & FAN_ACCESS_PERM) && !m_fired.exchange(true))
                    m_onFirstRead();
                if (event->mask & FAN_ACCESS_PERM) {
                    const fanotify_response allow = { event->fd, FAN_ALLOW };
                    while (::write(m_group, &allow, sizeof allow) < 0 && errno == EINTR) { }
                }
                if (event->fd >= 0)
                    ::close(event->fd);
            }
        }
    }

    std::function<void()> m_onFirstRead;
    int m_group = -1;
    int m_stop[2] = { -1, -1 };
    std::thread m_thread;
    std::atomic<bool> m_fired { false };
    QString m_whyNot;
};

// Lowers this process's file size limit for its lifetime; writes past it fail with EFBIG
// instead of raising SIGXFSZ, which would end the test.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        const rlimit lowered = { bytes, m_old.rlim_max };
        m_set = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool isSet() const { return m_set; }

private:
    rlimit m_old {};
    sighandler_t m_oldHandler;
    bool m_set = false;
};

} // namespace

class TestSaveFaults : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestConfigDir> m_config;
    int m_roots = 0;

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("tst_savefaults")); }
    void init() { m_config = std::make_unique<TestConfigDir>(); }
    void cleanup() { m_config.reset(); }

    void faultDuringCopy_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("struck"); // the extension of the file the fault strikes
        QTest::addColumn<bool>("struckCopied");
        QTest::newRow("recording larger than the room left")
            << int(DestinationFull) << ".rec" << false;
        QTest::newRow("companion larger than the room left")
            << int(DestinationFull) << ".avl" << false;
        QTest::newRow("recording name taken meanwhile")
            << int(DestinationAppears) << ".rec" << false;
        QTest::newRow("companion name taken meanwhile")
            << int(DestinationAppears) << ".bt" << false;
        // The open descriptor still reaches the whole file: the copy is complete.
        QTest::newRow("recording deleted meanwhile") << int(SourceUnlinked) << ".rec" << true;
        QTest::newRow("recording cut short meanwhile") << int(SourceTruncated) << ".rec" << false;
        QTest::newRow("companion cut short meanwhile") << int(SourceTruncated) << ".avl" << false;
    }
    void faultDuringCopy()
    {
        QFETCH(int, fault);
        QFETCH(QString, struck);
        QFETCH(bool, struckCopied);
        QTemporaryDir sources;
        QTemporaryDir target;
        const QStringList extensions { ".rec", ".bt", ".avl" };
        // The struck file is larger than the size limit; the others fit well below it.
        QMap<QString, QByteArray> original;
        for (const QString& extension : extensions) {
            original[extension] = content(
                extension == struck ? 256 * 1024 : 4096, char(extension.at(1).toLatin1()));
            QFile file(sources.filePath("run" + extension));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(original[extension]), qint64(original[extension].size()));
        }
        const QString source = sources.filePath("run" + struck);
        const QString destination = target.filePath("copy" + struck);

        auto frame = std::make_unique<SaveFrame>(QStringLiteral("App"), QStringLiteral("frontend"),
            QStringLiteral("/SaveFaults%1").arg(++m_roots));
        frame->initialize(true);
        frame->m_currentFile = sources.filePath("run.rec");
        const QString title = frame->windowTitle();

        std::unique_ptr<FirstReadHook> hook;
        std::unique_ptr<FileSizeLimit> limit;
        if (fault == DestinationFull) {
            limit = std::make_unique<FileSizeLimit>(64 * 1024);
            QVERIFY(limit->isSet());
        } else {
            hook = std::make_unique<FirstReadHook>(source, [=] {
                if (fault == DestinationAppears) {
                    QFile intruder(destination);
                    if (intruder.open(QIODevice::NewOnly))
                        intruder.write(kIntruder);
                } else if (fault == SourceUnlinked) {
                    QFile::remove(source);
                } else {
                    QFile(source).resize(128 * 1024);
                }
            });
            if (!hook->isActive())
                QSKIP(
                    qPrintable("fanotify permission events need CAP_SYS_ADMIN: " + hook->whyNot()));
        }

        ModalAnswer answers(ModalAnswer::pressButton("OK"));
        frame->save(target.filePath("copy.rec"));
        limit.reset();
        const bool struckDuringCopy = !hook || hook->fired();
        hook.reset();
        QVERIFY(struckDuringCopy); // else the fault came too late to test anything

        // Every destination is the complete source, or the other program's file, or absent.
        QStringList expectedFiles;
        for (const QString& extension : extensions) {
            const QString copy = target.filePath("copy" + extension);
            if (extension != struck || struckCopied) {
                QCOMPARE(readFile(copy), original[extension]);
                expectedFiles << "copy" + extension;
            } else if (fault == DestinationAppears) {
                QCOMPARE(readFile(copy), kIntruder);
                expectedFiles << "copy" + extension;
            } else {
                QVERIFY2(!QFile::exists(copy), qPrintable(copy));
            }
        }
        // No temporary file left beside them either.
        QStringList present
            = QDir(target.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        present.sort();
        expectedFiles.sort();
        QCOMPARE(present, expectedFiles);

        // The user is told exactly which file was not copied.
        if (struckCopied) {
            QVERIFY2(!answers.seen(), qPrintable(answers.dialog().text));
        } else {
            QCOMPARE(answers.dialogs().size(), 1);
            QCOMPARE(answers.dialog().title, QStringLiteral("Copy File Information"));
            QVERIFY2(
                answers.dialog().text.contains(destination), qPrintable(answers.dialog().text));
            for (const QString& extension : extensions) {
                if (extension != struck)
                    QVERIFY(!answers.dialog().text.contains(target.filePath("copy" + extension)));
            }
        }
        // The title names the new file only when the recording itself was copied.
        QCOMPARE(frame->windowTitle() != title, struck != ".rec" || struckCopied);
    }
};

QTEST_MAIN(TestSaveFaults)
#include "tst_savefaults.moc"
