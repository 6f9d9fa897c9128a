#include <recording/headerdata.h>

#include <QLineEdit>
#include <QtTest>

#include <cinfobar.h>

class TestInfoBar : public QObject
{
    Q_OBJECT

private slots:
    // The frequencies in the unit asked for, an unknown unit as MHz.
    void header_data()
    {
        QTest::addColumn<float>("hz");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("text");
        QTest::newRow("9 kHz in MHz") << 9000.f << 0 << " 0.009000 MHz";
        QTest::newRow("kHz") << 1.5e6f << 1 << "1500.000000 kHz";
        QTest::newRow("wider than nine, not cut") << 2.5e9f << 0 << "2500.000000 MHz";
        QTest::newRow("float widened, not rounded") << 100.1f << 2 << "100.099998 Hz";
        QTest::newRow("unit -1 as MHz") << 1e6f << -1 << " 1.000000 MHz";
        QTest::newRow("unit 3 as MHz") << 1e6f << 3 << " 1.000000 MHz";
    }
    // Every field from the header, none kept from before; no header changes nothing; enabled()
    // reaches each field.
    void header()
    {
        QFETCH(float, hz);
        QFETCH(int, unit);
        QFETCH(QString, text);
        Recording2::CHeaderData header;
        header.setDeviceName("Probe \xc3\xbc");
        header.setStartTS(Recording2::CTimeStamp(1709296496789000));
        header.setStopTS(Recording2::CTimeStamp(1709296499000000));
        header.setFreqRange(hz, hz);
        CInfoBar bar;
        bar.setDevicetype(QStringLiteral("stale"));
        bar.setHeaderData(&header, CInfoBar::eUnit(unit));
        bar.setHeaderData(nullptr, CInfoBar::ekHz);
        QStringList shown;
        for (bool enable : { false, true }) {
            bar.enabled(enable);
            for (QLineEdit* field : bar.findChildren<QLineEdit*>())
                shown << (field->isEnabled() ? field->text() : QStringLiteral("-"));
        }
        QCOMPARE(shown.join('|'),
            QStringLiteral(
                "-|-|-|-|-|-|Probe \u00fc||2024-03-01 12:34:56.789|2024-03-01 12:34:59.000|")
                + text + '|' + text);
    }
};

QTEST_MAIN(TestInfoBar)
#include "tst_infobar.moc"
