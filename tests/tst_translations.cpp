#include "testenvironment.h"
#include "testframe.h"

#include <guicentral/guicentral.h>
#include <startup/translationcenter.h>

#include <QLabel>
#include <QToolButton>
#include <QtTest>

#include <cinfobar.h>
#include <creplaybar.h>

// Runs with the German catalogue: the language is chosen before the application exists, as in
// a real start.
class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void germanTextsEnglishObjectNames()
    {
        TestConfigDir dir;
        QVERIFY(TranslationCenter::Instance().IsInstalled(QStringLiteral("TevFrameBase")));
        TestFrame frame;
        frame.initialize(false);
        QCOMPARE(frame.m_fileMenu->title(), QStringLiteral("Datei"));
        QCOMPARE(frame.m_fileMenu->objectName(), QStringLiteral("File"));
        QCOMPARE(frame.m_openAction->text(), QStringLiteral("Datei &öffnen"));
        QCOMPARE(frame.m_openAction->objectName(), QStringLiteral("Open File"));
        // A translated shortcut text must still parse without Qt's own catalogue.
        QCOMPARE(frame.m_openAction->shortcut(), QKeySequence(Qt::CTRL + Qt::Key_O));
        QCOMPARE(frame.m_saveAsAction->objectName(), QStringLiteral("Save as file"));
        QCOMPARE(frame.m_exitAction->text(), QStringLiteral("Beenden"));

        bool found = false;
        for (const GuiCentral::HotKey& key : GuiCentral::Instance().HotKeys()) {
            if (key.id == frame.m_helpHotKeyId) {
                found = true;
                QCOMPARE(key.name, QStringLiteral("Hilfethemen"));
                QCOMPARE(key.group, QStringLiteral("Anwendungsweit"));
            }
        }
        QVERIFY(found);
    }

    void widgetsShowGermanAndKeepEnglishNames()
    {
        CReplayBar bar;
        auto* play = bar.findChild<QToolButton*>(QStringLiteral("Play"));
        QVERIFY(play);
        QCOMPARE(play->toolTip(), QStringLiteral("Abspielen"));

        CInfoBar info;
        QStringList labels;
        for (const QLabel* label : info.findChildren<QLabel*>())
            labels << label->text();
        QVERIFY2(labels.contains(QStringLiteral("Gerätename: ")), qPrintable(labels.join('|')));
    }
};

int main(int argc, char* argv[])
{
    qputenv("TEV_LANG", "de_DE");
    QApplication app(argc, argv);
    TestTranslations test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_translations.moc"
