// The frame over broken configuration files and folders: it starts with its defaults, closes
// without harm, keeps a file it could not parse as "<name>.ini.damaged" and traces a write
// that failed.

#include "testenvironment.h"
#include "testframe.h"
#include "tracecollector.h"

#include <QtTest>

#include <csettings.h>
#include <unistd.h>

namespace {
enum Situation { DamagedFiles, FolderBelowAFile, ReadOnlyFolder };
}

class TestSettingsFaults : public QObject
{
    Q_OBJECT

private slots:
    void frameOverBrokenSettings_data()
    {
        QTest::addColumn<int>("situation");
        QTest::addColumn<QByteArray>("content"); // of both INI files
        const QByteArray good = "[Settings]\nFileOpenPath=/kept\nFiles1=/kept/a.rec\n";
        // Which files count as damaged is the store's matter (tst_cfgcenter); one will do here.
        QTest::newRow("zeros of a torn write") << int(DamagedFiles) << good + QByteArray(32, '\0');
        // The configuration folder cannot exist: a file has its parent's name.
        QTest::newRow("folder below a file") << int(FolderBelowAFile) << QByteArray();
        QTest::newRow("read-only folder") << int(ReadOnlyFolder) << good;
    }

    void frameOverBrokenSettings()
    {
        QFETCH(int, situation);
        QFETCH(QByteArray, content);
        if (situation == ReadOnlyFolder && ::geteuid() == 0)
            QSKIP("root writes into folders without write permission; the folder-below-a-file "
                  "row covers the failed write for root");
        QCoreApplication::setApplicationName(QStringLiteral("app"));
        TestConfigDir dir;
        QString folder = dir.path();
        if (situation == FolderBelowAFile) {
            QVERIFY(QFile(folder + "/file").open(QIODevice::WriteOnly));
            qputenv("TEV_CONFIG_DIR", (folder += "/file/settings").toUtf8());
        } else {
            dir.writeIni(QStringLiteral("app"), content);
            dir.writeIni(QStringLiteral("frontend"), content);
        }
        const QString appIni = folder + "/app.ini";
        if (situation == ReadOnlyFolder)
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));

        TraceCollector traces;
        QPointer<TestFrame> frame = new TestFrame;
        frame->initialize(true);
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        if (situation != ReadOnlyFolder) {
            QCOMPARE(frame->m_fileOpenPath, QStringLiteral("file:c:/temp"));
            QCOMPARE(frame->m_recordingPath, QStringLiteral("c:\\temp"));
            QCOMPARE(frame->m_settings->recentFiles(), QStringList());
        }
        frame->m_fileOpenPath = QStringLiteral("/chosen");
        frame->close(); // writes the options as it goes
        QTRY_VERIFY(frame.isNull());
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(traces.messages.size(), 1);
        const QString message = traces.messages.first();

        if (situation == DamagedFiles) {
            // The application file was written: the damaged one is kept beside the new one.
            QCOMPARE(fileBytes(appIni + ".damaged"), content);
            QVERIFY2(message.contains(appIni + ".damaged"), qPrintable(message));
            QSettings stored(appIni, QSettings::IniFormat);
            QCOMPARE(stored.value("Settings/FileOpenPath").toString(), QStringLiteral("/chosen"));
            QCOMPARE(stored.value("Settings/Files1").toString(), QString()); // nothing old
            // The front end's file is only read: it stays as it is, and where it is.
            QCOMPARE(fileBytes(folder + "/frontend.ini"), content);
            QVERIFY(!QFile::exists(folder + "/frontend.ini.damaged"));
        } else {
            QVERIFY2(message.contains("Settings not saved: " + appIni), qPrintable(message));
            QCOMPARE(fileBytes(appIni), content);
        }
    }
};

QTEST_MAIN(TestSettingsFaults)
#include "tst_settingsfaults.moc"
