#include <recording/headerdata.h>

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <cinfobar.h>

namespace {
QList<QLineEdit*> fields(const CInfoBar& bar)
{
    return { bar.deviceName(), bar.deviceType(), bar.starttime(), bar.stoptime(), bar.freqmin(),
        bar.freqmax() };
}

QVector<bool> enabledStates(const CInfoBar& bar)
{
    QVector<bool> states;
    for (QLineEdit* field : fields(bar))
        states << field->isEnabled();
    return states;
}

using Enabler = void (CInfoBar::*)(bool);
const Enabler iENABLERS[]
    = { &CInfoBar::enableDeviceName, &CInfoBar::enableDeviceType, &CInfoBar::enableStarttime,
          &CInfoBar::enableStoptime, &CInfoBar::enableFreqmin, &CInfoBar::enableFreqmax };
using Setter = void (CInfoBar::*)(const QString&);
const Setter iSETTERS[] = { &CInfoBar::setDevicename, &CInfoBar::setDevicetype,
    &CInfoBar::setStarttime, &CInfoBar::setStoptime, &CInfoBar::setFreqmin, &CInfoBar::setFreqmax };
const char* const iFIELD_NAMES[]
    = { "Devicename", "Devicetype", "Starttime", "Stoptime", "Freq min", "Freq max" };
} // namespace

class TestInfoBar : public QObject
{
    Q_OBJECT

private slots:
    void objectName_data()
    {
        QTest::addColumn<bool>("byDefault");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("objectName");
        QTest::newRow("default") << true << QByteArray() << "File Info";
        QTest::newRow("given, UTF-8") << false << QByteArray("Kopf \xc3\xbc") << "Kopf \u00fc";
        QTest::newRow("null") << false << QByteArray() << "";
    }
    void objectName()
    {
        QFETCH(bool, byDefault);
        QFETCH(QByteArray, name);
        QFETCH(QString, objectName);
        QWidget parent;
        CInfoBar* bar = byDefault
            ? new CInfoBar(&parent)
            : new CInfoBar(&parent, nullptr, name.isNull() ? nullptr : name.constData());
        QCOMPARE(bar->objectName(), objectName);
        QCOMPARE(bar->parent(), &parent);
        QCOMPARE(bar->metaObject()->className(), "CInfoBar");
    }

    void layout_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("label");
        QTest::newRow("device name") << 0 << 0 << 1 << 70 << "Devicename: ";
        QTest::newRow("device type") << 1 << 1 << 1 << 70 << "Devicetype: ";
        QTest::newRow("start time") << 2 << 0 << 3 << 130 << " Starttime: ";
        QTest::newRow("stop time") << 3 << 1 << 3 << 130 << " Stoptime: ";
        QTest::newRow("lowest frequency") << 4 << 0 << 5 << 100 << " Freq min: ";
        QTest::newRow("highest frequency") << 5 << 1 << 5 << 100 << " Freq max: ";
    }
    void layout()
    {
        QFETCH(int, index);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, width);
        QFETCH(QString, label);
        CInfoBar bar;
        auto* grid = qobject_cast<QGridLayout*>(bar.layout());
        QVERIFY(grid);
        QCOMPARE(grid->contentsMargins(), QMargins(5, 5, 5, 5));
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->columnCount(), 6);

        QLineEdit* field = fields(bar).at(index);
        QCOMPARE(grid->itemAtPosition(row, column)->widget(), field);
        QCOMPARE(field->parent(), &bar);
        QCOMPARE(field->objectName(), QLatin1String(iFIELD_NAMES[index]));
        QCOMPARE(field->minimumWidth(), width);
        QCOMPARE(field->maximumWidth(), width);
        QVERIFY(field->isReadOnly());
        QVERIFY(field->text().isEmpty());
        QVERIFY(!field->isEnabled());
        QCOMPARE(grid->itemAtPosition(row, column)->alignment(), Qt::Alignment());

        auto* text = qobject_cast<QLabel*>(grid->itemAtPosition(row, column - 1)->widget());
        QVERIFY(text);
        QCOMPARE(text->text(), label);
        QCOMPARE(text->objectName(), QLatin1String(iFIELD_NAMES[index]) + QLatin1Char(':'));
        QVERIFY(text->isEnabled());
    }

    void focusOrderFollowsCreation()
    {
        CInfoBar bar;
        bar.enabled(true);
        QList<QLineEdit*> order;
        QWidget* widget = bar.deviceName();
        do {
            if (auto* field = qobject_cast<QLineEdit*>(widget))
                order << field;
            widget = widget->nextInFocusChain();
        } while (widget != bar.deviceName());
        QCOMPARE(order, fields(bar));
    }

    void frequencyTexts_data()
    {
        QTest::addColumn<float>("hz");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("text");
        QTest::newRow("1 MHz") << 1e6f << 0 << " 1.000000 MHz";
        QTest::newRow("9 kHz in MHz") << 9000.f << 0 << " 0.009000 MHz";
        QTest::newRow("zero") << 0.f << 0 << " 0.000000 MHz";
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
        QFETCH(QString, text);
        Recording2::CHeaderData header;
        header.setFreqRange(hz, hz);
        CInfoBar bar;
        bar.setHeaderData(&header, CInfoBar::eUnit(unit));
        QCOMPARE(bar.freqmin()->text(), text);
        QCOMPARE(bar.freqmax()->text(), text);
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
        bar.setHeaderData(&header, CInfoBar::ekHz);
        QCOMPARE(bar.deviceName()->text(), QStringLiteral("Probe \u00fc"));
        QCOMPARE(bar.deviceType()->text(), QString()); // no type in the header
        QCOMPARE(bar.starttime()->text(), QStringLiteral("2024-03-01 12:34:56.789"));
        QCOMPARE(bar.stoptime()->text(), QStringLiteral("2024-03-01 12:34:59.000"));
        QCOMPARE(bar.freqmin()->text(), QStringLiteral(" 9.000000 kHz"));
        QCOMPARE(bar.freqmax()->text(), QStringLiteral("3000.000000 kHz"));
        QCOMPARE(enabledStates(bar), QVector<bool>(6, false));

        bar.setHeaderData(nullptr, CInfoBar::eMHz);
        QCOMPARE(bar.deviceName()->text(), QStringLiteral("Probe \u00fc"));
        QCOMPARE(bar.freqmax()->text(), QStringLiteral("3000.000000 kHz"));
    }

    void singleField_data()
    {
        QTest::addColumn<int>("field");
        for (int i = 0; i < 6; ++i)
            QTest::newRow(iFIELD_NAMES[i]) << i;
    }
    void singleField()
    {
        QFETCH(int, field);
        const int index = field;
        CInfoBar bar;
        (bar.*iENABLERS[index])(true);
        QVector<bool> expected(6, false);
        expected[index] = true;
        QCOMPARE(enabledStates(bar), expected);

        (bar.*iSETTERS[index])(QStringLiteral(" 12.5 "));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(fields(bar).at(i)->text(), i == index ? QStringLiteral(" 12.5 ") : QString());
    }

    void enabledLeavesLabelsAlone()
    {
        CInfoBar bar;
        auto* label = bar.findChild<QLabel*>(QStringLiteral("Stoptime:"));
        QVERIFY(label);
        label->setEnabled(false);
        bar.enabled(true);
        QCOMPARE(enabledStates(bar), QVector<bool>(6, true));
        QVERIFY(!label->isEnabled());
        bar.enabled(false);
        QCOMPARE(enabledStates(bar), QVector<bool>(6, false));
        QVERIFY(bar.isEnabled());
    }
};

QTEST_MAIN(TestInfoBar)
#include "tst_infobar.moc"
