#include <recording/headerdata.h>

#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <cinfobar.h>

class TestInfoBar : public QObject
{
    Q_OBJECT

private slots:
    void frequencyTexts_data()
    {
        QTest::addColumn<float>("hz");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("text");
        QTest::newRow("9 kHz in MHz") << 9000.f << 0 << " 0.009000 MHz";
        QTest::newRow("kHz") << 1.5e6f << 1 << "1500.000000 kHz";
        QTest::newRow("Hz") << 100.f << 2 << "100.000000 Hz";
        QTest::newRow("wider than nine, not cut") << 2.5e9f << 0 << "2500.000000 MHz";
        QTest::newRow("float widened, not rounded") << 100.1f << 2 << "100.099998 Hz";
        QTest::newRow("unit -1 as MHz") << 1e6f << -1 << " 1.000000 MHz";
        QTest::newRow("unit 3 as MHz") << 1e6f << 3 << " 1.000000 MHz";
    }
    void frequencyTexts()
    {
        QFETCH(float, hz);
        QFETCH(int, unit);
        Recording2::CHeaderData header;
        header.setFreqRange(hz, hz);
        CInfoBar bar;
        bar.setHeaderData(&header, CInfoBar::eUnit(unit));
        QTEST(bar.freqmin()->text(), "text");
        QTEST(bar.freqmax()->text(), "text");
    }

    void headerFillsAllFields()
    {
        Recording2::CHeaderData header;
        header.setDeviceName("Probe \xc3\xbc");
        header.setStartTS(Recording2::CTimeStamp(1709296496789000));
        header.setStopTS(Recording2::CTimeStamp(1709296499000000));
        header.setFreqRange(9000.f, 3e6f);
        CInfoBar bar;
        bar.setDevicetype(QStringLiteral("stale"));
        bar.setHeaderData(&header, CInfoBar::eMHz);
        const auto texts = [&bar] {
            QStringList texts;
            for (QLineEdit* field : { bar.deviceName(), bar.deviceType(), bar.starttime(),
                     bar.stoptime(), bar.freqmin(), bar.freqmax() })
                texts << field->text();
            return texts;
        };
        const QStringList shown { QStringLiteral("Probe \u00fc"),
            QString(), // no type in the header
            "2024-03-01 12:34:56.789", "2024-03-01 12:34:59.000", " 0.009000 MHz",
            " 3.000000 MHz" };
        QCOMPARE(texts(), shown);
        bar.setHeaderData(nullptr, CInfoBar::ekHz);
        QCOMPARE(texts(), shown);
    }

    // The fields are read-only and start disabled; enabled() switches them, not the labels.
    void enabledSwitchesTheFields()
    {
        CInfoBar bar(nullptr, nullptr, "Kopf \xc3\xbc");
        QCOMPARE(bar.objectName(), QStringLiteral("Kopf \u00fc"));
        const QList<QLineEdit*> fields = bar.findChildren<QLineEdit*>();
        const auto count = [&](bool (QWidget::*property)() const) {
            return std::count_if(
                fields.begin(), fields.end(), [&](QLineEdit* f) { return (f->*property)(); });
        };
        QCOMPARE(fields.size(), 6);
        QVERIFY(std::all_of(
            fields.begin(), fields.end(), [](QLineEdit* f) { return f->isReadOnly(); }));
        QCOMPARE(count(&QWidget::isEnabled), 0);
        auto* label = bar.findChild<QLabel*>(QStringLiteral("Stoptime:"));
        QVERIFY(label);
        label->setEnabled(false);
        bar.enabled(true);
        QCOMPARE(count(&QWidget::isEnabled), 6);
        QVERIFY(!label->isEnabled());
        bar.enableStoptime(false);
        QVERIFY(!bar.stoptime()->isEnabled());
        bar.enabled(false);
        QCOMPARE(count(&QWidget::isEnabled), 0);
        QVERIFY(bar.isEnabled());
    }
};

QTEST_MAIN(TestInfoBar)
#include "tst_infobar.moc"
