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

    // Each setter and enabler acts on its own read-only field; the labels stay as they are.
    void singleFields()
    {
        using Enabler = void (CInfoBar::*)(bool);
        using Setter = void (CInfoBar::*)(const QString&);
        const QList<std::tuple<Enabler, Setter, QLineEdit* (CInfoBar::*)() const>> fields {
            { &CInfoBar::enableDeviceName, &CInfoBar::setDevicename, &CInfoBar::deviceName },
            { &CInfoBar::enableDeviceType, &CInfoBar::setDevicetype, &CInfoBar::deviceType },
            { &CInfoBar::enableStarttime, &CInfoBar::setStarttime, &CInfoBar::starttime },
            { &CInfoBar::enableStoptime, &CInfoBar::setStoptime, &CInfoBar::stoptime },
            { &CInfoBar::enableFreqmin, &CInfoBar::setFreqmin, &CInfoBar::freqmin },
            { &CInfoBar::enableFreqmax, &CInfoBar::setFreqmax, &CInfoBar::freqmax },
        };
        CInfoBar bar(nullptr, nullptr, "Kopf \xc3\xbc");
        QCOMPARE(bar.objectName(), QStringLiteral("Kopf \u00fc"));
        const auto state = [&] {
            QString state;
            for (const auto& field : fields) {
                QLineEdit* edit = (bar.*std::get<2>(field))();
                state += edit->isReadOnly() ? "" : "w";
                state += edit->isEnabled() ? (edit->text().isEmpty() ? "e" : "E") : "-";
            }
            return state;
        };
        QCOMPARE(state(), QStringLiteral("------"));
        for (int i = 0; i < fields.size(); ++i) {
            QString expected(fields.size(), '-');
            expected[i] = 'E';
            (bar.*std::get<0>(fields[i]))(true);
            (bar.*std::get<1>(fields[i]))(QStringLiteral("12.5"));
            QCOMPARE(state(), expected);
            (bar.*std::get<0>(fields[i]))(false);
            (bar.*std::get<1>(fields[i]))(QString());
        }
        auto* label = bar.findChild<QLabel*>(QStringLiteral("Stoptime:"));
        QVERIFY(label);
        label->setEnabled(false);
        bar.enabled(true);
        QCOMPARE(state(), QStringLiteral("eeeeee"));
        QVERIFY(!label->isEnabled());
        bar.enabled(false);
        QCOMPARE(state(), QStringLiteral("------"));
        QVERIFY(bar.isEnabled());
    }
};

QTEST_MAIN(TestInfoBar)
#include "tst_infobar.moc"
