// The German catalogues: each text of the code is translated, keeping the placeholders,
// accelerators and edge newlines of its source, and every catalogue is installed.

#include "testenvironment.h"
#include "testframe.h"

#include <startup/translationcenter.h>

#include <QProcess>
#include <QXmlStreamReader>
#include <QtTest>

namespace {
// What a translation must keep of its source: the placeholders, the number of accelerators
// ("&&" is a literal ampersand) and a newline at either end.
QString shape(const QString& text)
{
    static const QRegularExpression placeholder(QStringLiteral("%(L?[0-9]+|n)"));
    QStringList parts;
    for (auto it = placeholder.globalMatch(text); it.hasNext();)
        parts << it.next().captured();
    parts.sort();
    parts << QString::number(QString(text).remove("&&").count('&')) + " accelerator(s)"
          << (text.startsWith('\n') ? "newline first" : "")
          << (text.endsWith('\n') ? "newline last" : "");
    return parts.join(' ');
}

// What is wrong with the catalogue `ts` for the texts lupdate finds in `sources`. lupdate
// merges the code's texts into a copy of it: a text new to it comes out unfinished, a text the
// code no longer has vanished.
QStringList catalogueProblems(const QString& ts, const QStringList& sources)
{
    QTemporaryDir work;
    QFile copy(work.filePath(QStringLiteral("copy.ts")));
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    if (QFile::copy(ts, copy.fileName()))
        lupdate.start(QStringLiteral(TEV_LUPDATE),
            QStringList { "-silent", "-locations", "none", "-no-ui-lines" } + sources
                + QStringList { "-ts", copy.fileName() });
    if (!lupdate.waitForFinished(60000) || lupdate.exitStatus() != QProcess::NormalExit
        || lupdate.exitCode() != 0 || !copy.open(QIODevice::ReadOnly))
        return { "lupdate failed on " + ts + ": " + QString::fromLocal8Bit(lupdate.readAll()) };
    QStringList problems;
    QString context, source;
    int messages = 0;
    // A plural message would hold elements in its translation: an error here, not a pass.
    QXmlStreamReader xml(&copy);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString element = xml.name().toString();
        if (element == "name")
            context = xml.readElementText();
        else if (element == "source")
            source = xml.readElementText();
        if (element != "translation")
            continue;
        ++messages;
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
    if (xml.hasError() || messages == 0)
        problems << ts + ": no text read " + xml.errorString();
    problems.sort();
    return problems;
}

bool writeText(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0;
}
} // namespace

// Runs with the German catalogues: the language is chosen before the application exists, as in
// a real start.
const bool kGerman = qputenv("TEV_LANG", "de_DE");

class TestTranslations : public QObject
{
    Q_OBJECT
    QTemporaryDir m_work; // the sources and the catalogue of the check's own row

private slots:
    // The texts reach the frame's menus; the object name a caller looks the menu up by and the
    // shortcut, which must still parse without Qt's own catalogue, stay English.
    void germanTexts()
    {
        TestConfigDir config;
        TestFrame frame;
        frame.initialize(false);
        const QStringList seen { frame.m_fileMenu->title(), frame.m_fileMenu->objectName(),
            frame.m_openAction->shortcut().toString() };
        QCOMPARE(seen, QStringList({ "Datei", "File", "Ctrl+O" }));
    }

    void catalogueMatchesCode_data()
    {
        QTest::addColumn<QString>("ts");
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QStringList>("problems"); // how each problem starts, sorted
        // The catalogues the build embeds, as CMake listed them: name, .ts files, source folders.
        const auto catalogues = QString::fromUtf8(fileBytes(TEV_TRANSLATION_CATALOGUES));
        QVERIFY(!catalogues.isEmpty());
        QStringList listed;
        for (const QString& line : catalogues.split('\n', Qt::SkipEmptyParts)) {
            const QStringList catalogue = line.split('\t');
            listed << catalogue[0];
            for (const QString& ts : catalogue.value(1).split('|'))
                QTest::newRow(qPrintable(QFileInfo(ts).fileName()))
                    << ts << catalogue.value(2).split('|') << QStringList();
        }
        // Every catalogue the libraries register (the frame's use loads them) is installed, and
        // checked here.
        for (const QString& name : TranslationCenter::Instance().Catalogues())
            QVERIFY2(listed.contains(name) && TranslationCenter::Instance().IsInstalled(name),
                qPrintable(name + " is not installed, or not in the catalogue check"));

        // The check itself: a fault of each kind beside right texts ("&&" is no accelerator,
        // placeholders may change their order); "Missing" is only in the code, "Gone" only in
        // the catalogue.
        const QList<QPair<QString, QString>> messages { { "Save && E&xit", "Speichern && &Ende" },
            { "%1 of %2", "%2: %1" }, { "&Open %1", "%2 ö&ffnen" }, { "&Close", "Schließen" },
            { "\nAgain?\n", "Nochmal?\n" }, { "Done\n", "Fertig" }, { "Empty", "" },
            { "Missing", "" }, { "Gone", "Weg" } };
        QString code, ts;
        for (const auto& [source, translation] : messages) {
            if (source != "Gone")
                code += "QT_TRANSLATE_NOOP(\"M\", \"" + QString(source).replace('\n', "\\n")
                    + "\");\n";
            if (source != "Missing")
                ts += "<context><name>M</name><message><source>" + source.toHtmlEscaped()
                    + "</source><translation>" + translation.toHtmlEscaped()
                    + "</translation></message></context>\n";
        }
        QVERIFY(writeText(m_work.filePath("texts.cpp"), "void texts()\n{\n" + code + "}\n"));
        QVERIFY(writeText(m_work.filePath("texts_de.ts"),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n"
            "<TS version=\"2.1\" language=\"de_DE\">\n"
                + ts + "</TS>\n"));
        QTest::newRow("faults") << m_work.filePath("texts_de.ts")
                                << QStringList { m_work.filePath("texts.cpp") }
                                << QStringList { "M \"&Close\"", "M \"&Open %1\"", "M \"Done\\n\"",
                                       "M \"\\nAgain?\\n\"", "stale: M \"Gone\"",
                                       "untranslated: M \"Empty\"", "untranslated: M \"Missing\"" };
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
