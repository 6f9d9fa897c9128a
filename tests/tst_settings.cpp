#include "testenvironment.h"

#include <startup/cfgcenter.h>

#include <QtTest>

#include <cpersistant.h>
#include <cpersistantstringlist.h>
#include <csettings.h>
#include <memory>

class TestSettings : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ICfg> openGroup()
    {
        std::unique_ptr<ICfg> top(
            CfgCenter::CreateCfg(QStringLiteral("store"), ICfg::DefaultView, {}));
        return std::unique_ptr<ICfg>(top->GetSubCfg(QStringLiteral("Settings"), 0));
    }

private slots:
    void readStringList_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("gaps leave no hole")
            << QByteArray("[Settings]\nFiles1=a\nFiles2=\nFiles3=c\n") << QStringList()
            << QStringList { "a", "c" };
        QTest::newRow("tenth key never read") << QByteArray("[Settings]\nFiles9=i\nFiles10=j\n")
                                              << QStringList() << QStringList { "i" };
        QTest::newRow("appends to the list") << QByteArray("[Settings]\nFiles1=a\n")
                                             << QStringList { "x" } << QStringList { "x", "a" };
        QTest::newRow("damaged file reads as empty")
            << QByteArray("[Settings\nFiles1=a\n\xff\xfe\x00garbage=\n") << QStringList()
            << QStringList();
    }
    void readStringList()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, before);
        QFETCH(QStringList, expected);
        TestConfigDir dir;
        dir.writeIni(QStringLiteral("store"), ini);
        QStringList list = before;
        CPersistantStringList entry(&list, QStringLiteral("Files"), {});
        entry.Read(openGroup().get());
        QCOMPARE(list, expected);
    }

    // What is read back after a write is exactly what was written, whatever was stored before.
    void writeThenRead_data()
    {
        QTest::addColumn<QStringList>("previous");
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<QStringList>("expected");
        const QStringList nine { "1", "2", "3", "4", "5", "6", "7", "8", "9" };
        QStringList twelve = nine;
        twelve << "10"
               << "11"
               << "12";
        QStringList withoutFifth = nine;
        withoutFifth.removeAt(4);
        QTest::newRow("shorter after longer")
            << QStringList { "a", "b", "c", "d", "e" } << QStringList { "x", "y", "z" }
            << QStringList { "x", "y", "z" };
        QTest::newRow("empty clears") << nine << QStringList() << QStringList();
        QTest::newRow("one removed from a full list") << nine << withoutFifth << withoutFifth;
        QTest::newRow("more than nine") << QStringList() << twelve << nine;
        // Names a file system allows: each comes back as it was, and none disturbs another.
        const QStringList hostile { "/data/line\nbreak.rec", " /data/blank at both ends.rec ",
            "C:\\Data\\Rec\\a.rec", "/data/\"quoted, with comma\".rec", "@String(x)",
            QString("/data/lone") + QChar(0xDC00) + ".rec", "/data/\r\t.rec" };
        QTest::newRow("names with line breaks and escapes") << nine << hostile << hostile;
    }
    void writeThenRead()
    {
        QFETCH(QStringList, previous);
        QFETCH(QStringList, written);
        QFETCH(QStringList, expected);
        TestConfigDir dir;
        QStringList list = previous;
        CPersistantStringList entry(&list, QStringLiteral("Files"), {});
        entry.Write(openGroup().get());
        list = written;
        entry.Write(openGroup().get());
        list.clear();
        entry.Read(openGroup().get());
        QCOMPARE(list, expected);
    }

    // The frame's case: a vanished file leaves a full recent list, and the next start must not
    // bring it back.
    void removedEntryStaysRemovedAfterRestart()
    {
        TestConfigDir dir;
        {
            CSettings settings(QStringLiteral("Settings"), nullptr);
            for (int i = 1; i <= 9; ++i)
                settings.recentFiles() << QStringLiteral("/rec/%1.rec").arg(i);
            settings.fileOpenPath() = QStringLiteral("file:/rec");
            settings.write(QString());
        }
        {
            CSettings settings(QStringLiteral("Settings"), nullptr);
            settings.read(QString());
            settings.recentFiles().removeAll(QStringLiteral("/rec/3.rec"));
            settings.write(QString());
        }
        CSettings settings(QStringLiteral("Settings"), nullptr);
        settings.read(QString());
        QCOMPARE(settings.recentFiles().size(), 8);
        QVERIFY(!settings.recentFiles().contains(QStringLiteral("/rec/3.rec")));
        QCOMPARE(settings.recentFiles().last(), QStringLiteral("/rec/9.rec"));
        QCOMPARE(settings.fileOpenPath(), QStringLiteral("file:/rec"));
    }

    void restoreDefaultEmptiesTheRecord()
    {
        CSettings settings(QStringLiteral("Settings"), nullptr);
        settings.recentFiles() << QStringLiteral("a");
        settings.fileOpenPath() = QStringLiteral("b");
        settings.persistant()->RestoreDefaults();
        QVERIFY(settings.recentFiles().isEmpty());
        QVERIFY(settings.fileOpenPath().isEmpty());
    }

    // Each record stores its own members through its own group; destroying both must not
    // free one group twice (the sanitizer build catches that).
    void copiesStoreTheirOwnMembers()
    {
        TestConfigDir dir;
        auto original = std::make_unique<CSettings>(QStringLiteral("Original"), nullptr);
        original->recentFiles() << QStringLiteral("shared");
        CSettings copy(*original);
        CSettings assigned(QStringLiteral("Other"), nullptr);
        assigned = *original;
        assigned = assigned;
        copy.recentFiles() << QStringLiteral("copy only");
        original.reset();
        copy.write(QString());

        CSettings reread(QStringLiteral("Original"), nullptr);
        reread.read(QString());
        QCOMPARE(reread.recentFiles(), (QStringList { "shared", "copy only" }));
        QCOMPARE(assigned.recentFiles(), QStringList { "shared" });
        assigned.persistant()->RestoreDefaults();
        QVERIFY(assigned.recentFiles().isEmpty());
        QCOMPARE(copy.recentFiles().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
