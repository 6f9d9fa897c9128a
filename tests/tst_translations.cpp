#include "modaldialog.h"
#include "testenvironment.h"
#include "testframe.h"

#include <dialogs/talvohelpmenu.h>
#include <startup/translationcenter.h>

#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QXmlStreamReader>
#include <QtTest>

#include <cinfobar.h>
#include <creplaybar.h>
#include <memory>

namespace {
// The parts of a text that a translation must keep: placeholders, the number of accelerators
// ("&&" is a literal ampersand) and the newlines that start and end it.
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
        .arg(placeholders.join(' '),
            QString::number(QString(text).remove(QLatin1String("&&")).count('&')),
            QString::number(text.left(start).count('\n')),
            QString::number(text.mid(start + trimmed.size()).count('\n')));
}

// What is wrong with the committed catalogue `ts` for the texts lupdate finds in `sources`.
// lupdate merges the code's texts into a copy of it: a text new to the catalogue comes out
// unfinished, a text the code no longer has vanished.
QStringList catalogueProblems(const QString& ts, const QStringList& sources)
{
    QTemporaryDir work;
    QFile copy(work.filePath(QStringLiteral("copy.ts")));
    if (!QFile::copy(ts, copy.fileName()))
        return { QStringLiteral("cannot read %1").arg(ts) };
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral(TEV_LUPDATE),
        QStringList { "-silent", "-locations", "none", "-no-ui-lines" } + sources
            + QStringList { "-ts", copy.fileName() });
    if (!lupdate.waitForFinished(60000) || lupdate.exitStatus() != QProcess::NormalExit
        || lupdate.exitCode() != 0 || !copy.open(QIODevice::ReadOnly)) {
        return { QStringLiteral("lupdate failed: %1 %2")
                     .arg(lupdate.errorString(), QString::fromLocal8Bit(lupdate.readAll())) };
    }
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
        const QString where
            = QStringLiteral("%1 \"%2\"").arg(context, QString(source).replace('\n', "\\n"));
        const QString type = xml.attributes().value(QLatin1String("type")).toString();
        QStringList forms; // one per plural form of a numerus message
        QString text;
        while (!xml.atEnd()
            && !(xml.readNext() == QXmlStreamReader::EndElement
                && xml.name() == QLatin1String("translation"))) {
            if (xml.isStartElement())
                forms << xml.readElementText();
            else if (xml.isCharacters())
                text += xml.text();
        }
        if (forms.isEmpty())
            forms << text;
        if (type == QLatin1String("vanished") || type == QLatin1String("obsolete")) {
            problems << QStringLiteral("stale: ") + where;
        } else if (type == QLatin1String("unfinished") || forms.contains(QString())) {
            problems << QStringLiteral("untranslated: ") + where;
        } else {
            for (const QString& form : qAsConst(forms)) {
                if (shape(form) != shape(source))
                    problems << QStringLiteral("%1: the translation \"%2\" has %3, the source %4")
                                    .arg(where, form, shape(form), shape(source));
            }
        }
    }
    if (xml.hasError() || messages == 0)
        problems << QStringLiteral("%1: no text read (%2)").arg(ts, xml.errorString());
    problems.sort();
    return problems;
}

// The catalogues the build embeds, as CMake listed them: name, .ts files, source folders.
QList<QStringList> catalogues()
{
    QFile file(QStringLiteral(TEV_TRANSLATION_CATALOGUES));
    QList<QStringList> list;
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
            if (line.count('\t') == 2)
                list << line.split('\t');
        }
    }
    return list;
}

QString tsMessage(const QString& context, const QString& source, const QString& translation)
{
    return QStringLiteral("<context><name>%1</name><message><source>%2</source>"
                          "<translation>%3</translation></message></context>\n")
        .arg(context, source.toHtmlEscaped(), translation.toHtmlEscaped());
}
} // namespace

// Runs with the German catalogues: the language is chosen before the application exists, as in
// a real start.
class TestTranslations : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestConfigDir> m_config;
    std::unique_ptr<TestFrame> m_frame;
    // What the user sees, by place: filled once from a frame, its help menu, its hot-key dialog,
    // the replay bar and the info bar.
    QMap<QString, QString> m_seen;

    void lookAtHotKeyDialog(QWidget* dialog)
    {
        m_seen["hot-key dialog title"] = dialog->windowTitle();
        auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("HotKeys"));
        for (int row = 0; table && row < table->rowCount(); ++row) {
            if (table->item(row, 0)->text() == QKeySequence(Qt::Key_F1).toString())
                m_seen["hot-key dialog F1"]
                    = table->item(row, 1)->text() + '|' + table->item(row, 2)->text();
        }
        ModalAnswer::rejectDialog(dialog);
    }

private slots:
    void initTestCase()
    {
        QStringList checked;
        for (const QStringList& catalogue : catalogues())
            checked << catalogue[0];
        for (const QString& name : TranslationCenter::Instance().Catalogues()) {
            QVERIFY2(checked.contains(name), qPrintable(name + " is not in the catalogue check"));
            QVERIFY2(TranslationCenter::Instance().IsInstalled(name), qPrintable(name));
        }

        m_config = std::make_unique<TestConfigDir>();
        m_frame = std::make_unique<TestFrame>();
        m_frame->initialize(false);
        m_seen["File menu"] = m_frame->m_fileMenu->title();
        m_seen["File menu object name"] = m_frame->m_fileMenu->objectName();
        m_seen["open entry"] = m_frame->m_openAction->text();
        m_seen["open shortcut"] = m_frame->m_openAction->shortcut().toString();
        auto* help = m_frame->findChild<TalvoHelpMenu*>();
        QVERIFY(help);
        m_seen["help menu"] = help->title();
        {
            ModalAnswer answer([this](QWidget* dialog) { lookAtHotKeyDialog(dialog); });
            QVERIFY(m_frame->onHotKey(m_frame->m_helpHotKeyId));
            QVERIFY(answer.seen());
        }
        CReplayBar bar;
        if (auto* play = bar.findChild<QToolButton*>(QStringLiteral("Play")))
            m_seen["replay bar Play"] = play->toolTip();
        CInfoBar info;
        if (auto* label = info.findChild<QLabel*>(QStringLiteral("Devicename:")))
            m_seen["info bar device name label"] = label->text();
    }

    void cleanupTestCase()
    {
        m_frame.reset();
        m_config.reset();
    }

    // One place per catalogue and kind of text; object names stay English.
    void germanTexts_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* place, const char* expected) {
            QTest::newRow(place) << QString::fromLatin1(place) << QString::fromUtf8(expected);
        };
        row("File menu", "Datei");
        row("File menu object name", "File");
        row("open entry", "Datei ö&ffnen");
        row("open shortcut", "Ctrl+O"); // must still parse without Qt's own catalogue
        row("help menu", "&Hilfe");
        row("hot-key dialog title", "Tastenkürzel");
        row("hot-key dialog F1", "Hilfethemen|Anwendungsweit");
        row("replay bar Play", "Abspielen");
        row("info bar device name label", "Gerätename: ");
    }
    void germanTexts()
    {
        QFETCH(QString, place);
        QVERIFY2(m_seen.contains(place), "not seen");
        QTEST(m_seen.value(place), "expected");
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
        const QString openDe = tsMessage("Menu", "&Open %1", "%1 ö&ffnen");
        const QString again = R"(QT_TRANSLATE_NOOP("Box", "\nAgain?\n");)";
        const QString more
            = R"(QT_TRANSLATE_NOOP("Menu", "Save && E&xit"); QT_TRANSLATE_NOOP("Menu", "%1 of %2");)";
        row("complete", open + again + more,
            openDe + tsMessage("Box", "\nAgain?\n", "\nNochmal?\n")
                + tsMessage("Menu", "Save && E&xit", "Speichern und &Beenden")
                + tsMessage("Menu", "%1 of %2", "%2: %1"),
            "");
        row("missing", open + again, openDe, "untranslated: Box");
        row("empty", open, tsMessage("Menu", "&Open %1", ""), "untranslated: Menu");
        row("no longer in the code", open, openDe + tsMessage("Menu", "Gone", "Weg"),
            "stale: Menu \"Gone\"");
        row("placeholder renumbered", open, tsMessage("Menu", "&Open %1", "%2 ö&ffnen"),
            "Menu \"&Open %1\"");
        row("accelerator lost", open, tsMessage("Menu", "&Open %1", "%1 öffnen"),
            "Menu \"&Open %1\"");
        row("leading newline lost", again, tsMessage("Box", "\nAgain?\n", "Nochmal?\n"),
            "Box \"\\nAgain?\\n\"");
        row("trailing newline lost", again, tsMessage("Box", "\nAgain?\n", "\nNochmal?"),
            "Box \"\\nAgain?\\n\"");
    }
    void checkFindsFaults()
    {
        QFETCH(QString, code);
        QFETCH(QString, messages);
        QFETCH(QString, problems);
        QTemporaryDir dir;
        QFile source(dir.filePath(QStringLiteral("texts.cpp")));
        QFile ts(dir.filePath(QStringLiteral("texts_de.ts")));
        QVERIFY(source.open(QIODevice::WriteOnly) && ts.open(QIODevice::WriteOnly));
        source.write(QStringLiteral("void texts()\n{\n    %1\n}\n").arg(code).toUtf8());
        ts.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n"
                                "<TS version=\"2.1\" language=\"de_DE\">\n%1</TS>\n")
                     .arg(messages)
                     .toUtf8());
        source.close();
        ts.close();
        const QStringList found = catalogueProblems(ts.fileName(), { source.fileName() });
        const QStringList expected = problems.split('|', Qt::SkipEmptyParts);
        QVERIFY2(found.size() == expected.size(), qPrintable(found.join('\n')));
        for (int i = 0; i < found.size(); ++i)
            QVERIFY2(found.at(i).startsWith(expected.at(i)), qPrintable(found.at(i)));
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
