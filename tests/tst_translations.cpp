// The German catalogues: each text of the code is translated, keeping the placeholders,
// accelerators and edge newlines of its source, and the translations reach the user.

#include "modaldialog.h"
#include "testenvironment.h"
#include "testframe.h"

#include <dialogs/talvohelpmenu.h>
#include <startup/translationcenter.h>

#include <QProcess>
#include <QToolButton>
#include <QXmlStreamReader>
#include <QtTest>

#include <creplaybar.h>

namespace {
// What a translation must keep of its source: the placeholders, the number of accelerators
// ("&&" is a literal ampersand) and the newlines before and after the text.
QString shape(const QString& text)
{
    static const QRegularExpression placeholder(QStringLiteral("%(L?[0-9]+|n)"));
    QStringList placeholders;
    for (auto it = placeholder.globalMatch(text); it.hasNext();)
        placeholders << it.next().captured();
    placeholders.sort();
    const QString trimmed = text.trimmed();
    const int start = text.indexOf(trimmed);
    // One arg() call: the placeholders found must not be filled in themselves.
    return QStringLiteral("placeholders [%1], %2 accelerator(s), newlines %3 before and %4 after")
        .arg(placeholders.join(' '), QString::number(QString(text).remove("&&").count('&')),
            QString::number(text.left(start).count('\n')),
            QString::number(text.mid(start + trimmed.size()).count('\n')));
}

// What is wrong with the catalogue `ts` for the texts lupdate finds in `sources`. lupdate
// merges the code's texts into a copy of it: a text new to it comes out unfinished, a text the
// code no longer has vanished.
QStringList catalogueProblems(const QString& ts, const QStringList& sources)
{
    QTemporaryDir work;
    QFile copy(work.filePath(QStringLiteral("copy.ts")));
    if (!QFile::copy(ts, copy.fileName()))
        return { "cannot read " + ts };
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral(TEV_LUPDATE),
        QStringList { "-silent", "-locations", "none", "-no-ui-lines" } + sources
            + QStringList { "-ts", copy.fileName() });
    if (!lupdate.waitForFinished(60000) || lupdate.exitStatus() != QProcess::NormalExit
        || lupdate.exitCode() != 0 || !copy.open(QIODevice::ReadOnly))
        return { "lupdate failed: " + QString::fromLocal8Bit(lupdate.readAll()) };
    QStringList problems;
    QString context, source;
    int messages = 0;
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
        ++messages;
        const QString where = context + " \"" + QString(source).replace('\n', "\\n") + '"';
        const QString type = xml.attributes().value(QLatin1String("type")).toString();
        QStringList forms; // one per plural form of a numerus message
        QString text;
        while (!xml.atEnd()
            && !(xml.readNext() == QXmlStreamReader::EndElement
                && xml.name() == QLatin1String("translation"))) {
            if (xml.isStartElement())
                forms << xml.readElementText();
            else
                text += xml.text();
        }
        if (forms.isEmpty())
            forms << text;
        if (type == QLatin1String("vanished") || type == QLatin1String("obsolete")) {
            problems << "stale: " + where;
        } else if (type == QLatin1String("unfinished") || forms.contains(QString())) {
            problems << "untranslated: " + where;
        } else {
            for (const QString& form : qAsConst(forms)) {
                if (shape(form) != shape(source))
                    problems << where + ": " + form + " has " + shape(form) + "; " + shape(source);
            }
        }
    }
    if (xml.hasError() || messages == 0)
        problems << ts + ": no text read " + xml.errorString();
    problems.sort();
    return problems;
}

// The catalogues the build embeds, as CMake listed them: name, .ts files, source folders.
QList<QStringList> catalogues()
{
    QFile file(QStringLiteral(TEV_TRANSLATION_CATALOGUES));
    QList<QStringList> list;
    for (const QString& line :
        QString::fromUtf8(file.open(QIODevice::ReadOnly) ? file.readAll() : "").split('\n')) {
        if (line.count('\t') == 2)
            list << line.split('\t');
    }
    return list;
}

QString tsMessage(const QString& context, const QString& source, const QString& translation)
{
    return "<context><name>" + context + "</name><message><source>" + source.toHtmlEscaped()
        + "</source><translation>" + translation.toHtmlEscaped()
        + "</translation></message></context>\n";
}

bool writeText(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0;
}
} // namespace

// Runs with the German catalogues: the language is chosen before the application exists, as in
// a real start.
class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void everyCatalogueInstalledAndChecked()
    {
        QStringList checked;
        for (const QStringList& catalogue : catalogues())
            checked << catalogue[0];
        for (const QString& name : TranslationCenter::Instance().Catalogues()) {
            QVERIFY2(checked.contains(name), qPrintable(name + " is not in the catalogue check"));
            QVERIFY2(TranslationCenter::Instance().IsInstalled(name), qPrintable(name));
        }
    }

    // A text of each catalogue where the user sees it; the object name a caller looks the menu
    // up by and the shortcut, which must still parse without Qt's own catalogue, stay English.
    void germanTexts()
    {
        TestConfigDir config;
        TestFrame frame;
        frame.initialize(false);
        QString hotKeys;
        ModalAnswer answer([&hotKeys](QWidget* dialog) {
            hotKeys = dialog->windowTitle();
            ModalAnswer::rejectDialog(dialog);
        });
        QVERIFY(frame.onHotKey(frame.m_helpHotKeyId));
        CReplayBar bar;
        const QStringList seen { frame.m_fileMenu->title(), frame.m_fileMenu->objectName(),
            frame.m_openAction->text(), frame.m_openAction->shortcut().toString(),
            frame.findChild<TalvoHelpMenu*>()->title(), hotKeys,
            bar.findChild<QToolButton*>(QStringLiteral("Play"))->toolTip() };
        QCOMPARE(seen,
            QStringList({ "Datei", "File", "Datei ö&ffnen", "Ctrl+O", "&Hilfe", "Tastenkürzel",
                "Abspielen" }));
    }

    void catalogueMatchesCode_data()
    {
        QTest::addColumn<QString>("ts");
        QTest::addColumn<QStringList>("sources");
        for (const QStringList& catalogue : catalogues()) {
            for (const QString& ts : catalogue[1].split('|'))
                QTest::newRow(qPrintable(QFileInfo(ts).fileName()))
                    << ts << catalogue[2].split('|');
        }
    }

    void catalogueMatchesCode()
    {
        QFETCH(QString, ts);
        QFETCH(QStringList, sources);
        const QStringList problems = catalogueProblems(ts, sources);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    // The check itself, on a small source file and a catalogue with one fault each.
    void checkFindsFaults_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("messages");
        QTest::addColumn<QString>("problems"); // how each problem starts, sorted, "|" between
        const auto row = [](const char* tag, const QString& code, const QString& messages,
                             const char* problems) {
            QTest::newRow(tag) << code << messages << QString::fromUtf8(problems);
        };
        const QString open = R"(QT_TRANSLATE_NOOP("Menu", "&Open %1");)";
        const QString again = R"(QT_TRANSLATE_NOOP("Box", "\nAgain?\n");)";
        const auto openAs = [](const char* de) { return tsMessage("Menu", "&Open %1", de); };
        const auto againAs = [](const char* de) { return tsMessage("Box", "\nAgain?\n", de); };
        const QString more = R"(QT_TRANSLATE_NOOP("Menu", "Save && E&xit");)"
                             R"(QT_TRANSLATE_NOOP("Menu", "%1 of %2");)";
        const QString moreDe = tsMessage("Menu", "Save && E&xit", "Speichern und &Beenden")
            + tsMessage("Menu", "%1 of %2", "%2: %1");
        row("complete", open + again + more,
            openAs("%1 ö&ffnen") + againAs("\nNochmal?\n") + moreDe, "");
        row("missing", open + again, openAs("%1 ö&ffnen"), "untranslated: Box");
        row("empty", open, openAs(""), "untranslated: Menu");
        row("no longer in the code", open, openAs("%1 ö&ffnen") + tsMessage("Menu", "Gone", "Weg"),
            "stale: Menu \"Gone\"");
        row("placeholder renumbered", open, openAs("%2 ö&ffnen"), "Menu \"&Open %1\"");
        row("accelerator lost", open, openAs("%1 öffnen"), "Menu \"&Open %1\"");
        row("leading newline lost", again, againAs("Nochmal?\n"), "Box \"\\nAgain?\\n\"");
        row("trailing newline lost", again, againAs("\nNochmal?"), "Box \"\\nAgain?\\n\"");
    }

    void checkFindsFaults()
    {
        QFETCH(QString, code);
        QFETCH(QString, messages);
        QFETCH(QString, problems);
        QTemporaryDir dir;
        const QString source = dir.filePath("texts.cpp"), ts = dir.filePath("texts_de.ts");
        QVERIFY(writeText(source, "void texts()\n{\n    " + code + "\n}\n"));
        QVERIFY(writeText(ts,
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n"
            "<TS version=\"2.1\" language=\"de_DE\">\n"
                + messages + "</TS>\n"));
        QStringList found = catalogueProblems(ts, { source });
        const QStringList expected = problems.split('|', Qt::SkipEmptyParts);
        for (int i = 0; i < found.size() && i < expected.size(); ++i)
            found[i].truncate(expected[i].size()); // the rest quotes the texts
        QCOMPARE(found, expected);
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
