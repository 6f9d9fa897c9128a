// The German catalogues: every one installed, each text of the code translated in its shape.

#include "testenvironment.h"
#include "testframe.h"

#include <startup/translationcenter.h>

#include <QProcess>
#include <QXmlStreamReader>
#include <QtTest>

#include <creplaybar.h>

namespace {
// The shape a translation keeps: placeholders, accelerators ("&&" is none), edge newlines.
QString shape(const QString& text)
{
    static const QRegularExpression placeholder(QStringLiteral("%(L?[0-9]+|n)"));
    QStringList parts;
    for (auto it = placeholder.globalMatch(text); it.hasNext();)
        parts << it.next().captured();
    parts.sort();
    parts << QString::number(QString(text).remove("&&").count('&')) + " accelerator(s)"
          << (text.startsWith('\n') ? "\\n first" : "") << (text.endsWith('\n') ? "\\n last" : "");
    return parts.join(' ');
}

// What is wrong with the catalogue `ts` for the texts lupdate finds in `sources`, merged by
// lupdate into a copy of it: a text new to it comes out unfinished, one no longer used vanished.
QStringList catalogueProblems(const QString& ts, const QStringList& sources)
{
    QTemporaryDir work;
    QFile copy(work.filePath(QStringLiteral("copy.ts")));
    const QStringList arguments = QStringList { "-silent", "-locations", "none", "-no-ui-lines" }
        + sources + QStringList { "-ts", copy.fileName() };
    if (!QFile::copy(ts, copy.fileName())
        || QProcess::execute(TEV_LUPDATE, arguments) != 0 // it prints to the test's output
        || !copy.open(QIODevice::ReadOnly))
        return { "lupdate failed on " + ts };
    QStringList problems;
    QString context, source;
    // A plural message would hold elements in its translation: an error here, not a pass.
    QXmlStreamReader xml(&copy);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("source"))
            source = xml.readElementText();
        if (xml.name() != QLatin1String("translation"))
            continue;
        const QString where = context + " \"" + QString(source).replace('\n', "\\n") + '"';
        const QString type = xml.attributes().value("type").toString();
        const QString text = xml.readElementText();
        if (type == "vanished" || type == "obsolete")
            problems << "stale: " + where;
        else if (type == "unfinished" || text.isEmpty())
            problems << "untranslated: " + where;
        else if (shape(text) != shape(source))
            problems << where + ": " + text + " has " + shape(text) + "; " + shape(source);
    }
    if (xml.hasError() || source.isEmpty())
        problems << ts + ": no text read " + xml.errorString();
    problems.sort();
    return problems;
}

} // namespace

// German, chosen before the application exists, as in a real start.
const bool kGerman = qputenv("TEV_LANG", "de_DE");

class TestTranslations : public QObject
{
    Q_OBJECT
    QTemporaryDir m_work; // the sources and the catalogue of the check's own row

private slots:
    // German where shown, but the menu's object name and the shortcut (parsed without Qt's own
    // catalogue); a catalogue registered twice stays until unregistered twice.
    void germanTexts()
    {
        TestConfigDir config;
        TestFrame frame;
        frame.initialize(false);
        CReplayBar bar;
        QStringList seen { frame.m_fileMenu->title(), frame.m_fileMenu->objectName(),
            frame.m_openAction->shortcut().toString(), bar.findChild<QWidget*>("Play")->toolTip(),
            bar.findChild<QWidget*>("Goto End")->toolTip(),
            QCoreApplication::translate("GuiCentral", "Key") };
        for (const QString step : { "-X", "+", "+Dialogs", "-Dialogs", "-Dialogs", "+Dialogs" }) {
            TranslationCenter& center = TranslationCenter::Instance();
            step[0] == '+' ? center.Register(step.mid(1)) : center.Unregister(step.mid(1));
            seen << QCoreApplication::translate("TalvoHelpMenu", "&Help")
                    + QString::number(center.Catalogues().size());
        }
        QCOMPARE(seen.join('|'),
            "Datei|File|Ctrl+O|Abspielen|Zum Ende|Taste|"
            "&Hilfe3|&Hilfe3|&Hilfe3|&Hilfe3|&Help2|&Hilfe3");
    }

    void catalogueMatchesCode_data()
    {
        QTest::addColumn<QString>("ts");
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QStringList>("problems"); // how each problem starts, sorted
        // The catalogues the build embeds, as CMake listed them: name, .ts files, source folders.
        const auto catalogues = QString::fromUtf8(fileBytes(TEV_TRANSLATION_CATALOGUES));
        QVERIFY(!catalogues.isEmpty());
        for (const QString& line : catalogues.split('\n', Qt::SkipEmptyParts)) {
            const QStringList catalogue = line.split('\t');
            for (const QString& ts : catalogue.value(1).split('|'))
                QTest::newRow(qPrintable(QFileInfo(ts).fileName()))
                    << ts << catalogue.value(2).split('|') << QStringList();
        }
        // Every catalogue registered (the frame's use loads them) is installed and checked here.
        for (const QString& name : TranslationCenter::Instance().Catalogues())
            QVERIFY2(('\n' + catalogues).contains('\n' + name + '\t')
                    && TranslationCenter::Instance().IsInstalled(name),
                qPrintable(name + " is not installed, or not in the catalogue check"));

        // The check itself: a fault of each kind beside right texts ("&&" is no accelerator, the
        // placeholders' order is free); "Missing" is only in the code, "Gone" only in the .ts.
        const QList<QPair<QString, QString>> messages { { "Missing", "" },
            { "Save && E&xit", "Speichern && &Ende" }, { "%1 of %2", "%2: %1" },
            { "&Open %1", "%2 ö&ffnen" }, { "&Close", "Schließen" }, { "\nAgain?\n", "Nochmal?\n" },
            { "Done\n", "Fertig" }, { "Empty", "" }, { "Gone", "Weg" } };
        QString code, ts = "<TS version=\"2.1\" language=\"de_DE\"><context><name>M</name>\n";
        for (const auto& [source, translation] : messages.mid(0, messages.size() - 1)) // not "Gone"
            code += "QT_TRANSLATE_NOOP(\"M\", \"" + QString(source).replace('\n', "\\n") + "\");\n";
        for (const auto& [source, translation] : messages.mid(1)) // not "Missing"
            ts += "<message><source>" + source.toHtmlEscaped() + "</source><translation>"
                + translation.toHtmlEscaped() + "</translation></message>\n";
        for (const auto& [name, text] : QList<QPair<QString, QString>> {
                 { "texts.cpp", code }, { "texts_de.ts", ts + "</context></TS>\n" } }) {
            QFile file(m_work.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0);
        }
        QTest::newRow("faults")
            << m_work.filePath("texts_de.ts") << QStringList { m_work.filePath("texts.cpp") }
            << QString("M \"&Close\"|M \"&Open %1\"|M \"Done\\n\"|M \"\\nAgain?\\n\"|stale: M "
                       "\"Gone\"|untranslated: M \"Empty\"|untranslated: M \"Missing\"")
                   .split('|');
    }

    void catalogueMatchesCode()
    {
        QFETCH(QString, ts);
        QFETCH(QStringList, sources);
        QFETCH(QStringList, problems);
        QStringList found = catalogueProblems(ts, sources);
        for (int i = 0; i < found.size() && i < problems.size(); ++i)
            found[i].truncate(problems[i].size()); // the rest quotes the texts
        QVERIFY2(found == problems, qPrintable(found.join('\n')));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
