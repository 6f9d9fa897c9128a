#include "modaldialog.h"
#include "testenvironment.h"
#include "testframe.h"

#include <dialogs/talvohelpmenu.h>
#include <startup/translationcenter.h>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFile>
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

// One message of a .ts file.
struct Message
{
    QString context;
    QString source;
    QString comment; // the disambiguation: a second text with the same source is another entry
    QString type; // of the translation: "", "unfinished", "vanished", "obsolete"
    QStringList forms; // the translation; one per plural form for a numerus message

    QString key() const { return context + QChar(0x1f) + source + QChar(0x1f) + comment; }
    QString where() const
    {
        return QStringLiteral("%1 \"%2\"").arg(context, QString(source).replace('\n', "\\n"));
    }
};

Message readMessage(QXmlStreamReader& xml, const QString& context)
{
    Message message;
    message.context = context;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("source")) {
            message.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("comment")) {
            message.comment = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            message.type = xml.attributes().value(QLatin1String("type")).toString();
            // Plain text, or one <numerusform> per plural form.
            QString text;
            bool numerus = false;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isCharacters()) {
                    text += xml.text();
                } else if (xml.isStartElement()) {
                    numerus = true;
                    message.forms << xml.readElementText();
                } else if (xml.isEndElement()) {
                    break;
                }
            }
            if (!numerus)
                message.forms << text;
        } else {
            xml.skipCurrentElement(); // locations, extra comments
        }
    }
    return message;
}

QList<Message> readTs(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(path);
        return {};
    }
    QList<Message> messages;
    QString context;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("message"))
            messages << readMessage(xml, context);
    }
    if (xml.hasError())
        *error = QStringLiteral("%1: %2").arg(path, xml.errorString());
    return messages;
}

// The parts of a text that a translation must keep: placeholders, the number of accelerators
// ("&&" is a literal ampersand) and the newlines that start and end it.
QString shape(const QString& text)
{
    static const QRegularExpression placeholder(QStringLiteral("%(L?[0-9]+|n)"));
    QStringList placeholders;
    auto it = placeholder.globalMatch(text);
    while (it.hasNext())
        placeholders << it.next().captured();
    placeholders.sort();
    const int accelerators = QString(text).remove(QLatin1String("&&")).count(QLatin1Char('&'));
    const auto newlines = [](const QString& edge) { return edge.count(QLatin1Char('\n')); };
    const QString trimmedFront = QString(text).remove(QRegularExpression(QStringLiteral("^\\s*")));
    const QString trimmedBack = QString(text).remove(QRegularExpression(QStringLiteral("\\s*$")));
    return QStringLiteral("placeholders [%1], %2 accelerator(s), %3 leading and %4 trailing "
                          "newline(s)")
        .arg(placeholders.join(QLatin1Char(' ')))
        .arg(accelerators)
        .arg(newlines(text.left(text.size() - trimmedFront.size())))
        .arg(newlines(text.mid(trimmedBack.size())));
}

// What is wrong with the committed catalogue `ts` for the texts lupdate finds in `sources`.
QStringList catalogueProblems(const QString& ts, const QStringList& sources)
{
    QTemporaryDir work;
    const QString codeTs = work.filePath(QStringLiteral("code.ts"));
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral(TEV_LUPDATE),
        QStringList { "-silent", "-locations", "none", "-no-ui-lines" } + sources
            + QStringList { "-ts", codeTs });
    if (!lupdate.waitForFinished(60000) || lupdate.exitStatus() != QProcess::NormalExit
        || lupdate.exitCode() != 0) {
        return { QStringLiteral("lupdate failed: %1 %2")
                     .arg(lupdate.errorString(), QString::fromLocal8Bit(lupdate.readAll())) };
    }
    QString error;
    const QList<Message> code = readTs(codeTs, &error);
    const QList<Message> committed = readTs(ts, &error);
    if (!error.isEmpty())
        return { error };
    if (code.isEmpty())
        return { QStringLiteral("lupdate found no text in %1").arg(sources.join(' ')) };

    QStringList problems;
    QHash<QString, Message> byKey;
    for (const Message& message : committed) {
        if (message.type == QLatin1String("vanished") || message.type == QLatin1String("obsolete"))
            problems << QStringLiteral("stale (%1): %2").arg(message.type, message.where());
        else
            byKey.insert(message.key(), message);
    }
    for (const Message& text : code) {
        const auto found = byKey.constFind(text.key());
        if (found == byKey.constEnd()) {
            problems << QStringLiteral("missing: %1").arg(text.where());
            continue;
        }
        const Message translated = *found;
        byKey.remove(text.key());
        if (translated.type == QLatin1String("unfinished") || translated.forms.isEmpty()
            || translated.forms.contains(QString())) {
            problems << QStringLiteral("unfinished: %1").arg(text.where());
            continue;
        }
        for (const QString& form : translated.forms) {
            if (shape(form) != shape(text.source)) {
                problems << QStringLiteral("%1: the translation \"%2\" has %3, the source %4")
                                .arg(text.where(), form, shape(form), shape(text.source));
            }
        }
    }
    for (const Message& left : qAsConst(byKey))
        problems << QStringLiteral("stale (not in the code): %1").arg(left.where());
    return problems;
}

struct Catalogue
{
    QString name;
    QStringList tsFiles;
    QStringList sources;
};

// The catalogues the build embeds, as CMake listed them.
QList<Catalogue> catalogues()
{
    QList<Catalogue> list;
    QFile file(QStringLiteral(TEV_TRANSLATION_CATALOGUES));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return list;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split('\t');
        if (fields.size() == 3)
            list << Catalogue { fields[0], fields[1].split('|'), fields[2].split('|') };
    }
    return list;
}

QString tsMessage(const QString& context, const QString& source, const QString& translation,
    const QString& type = QString())
{
    const auto escaped = [](const QString& text) { return text.toHtmlEscaped(); };
    return QStringLiteral("<context><name>%1</name><message><source>%2</source>"
                          "<translation%4>%3</translation></message></context>\n")
        .arg(context, escaped(source), escaped(translation),
            type.isEmpty() ? QString() : QStringLiteral(" type=\"%1\"").arg(type));
}

} // namespace

// Runs with the German catalogues: the language is chosen before the application exists, as in
// a real start.
class TestTranslations : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestConfigDir> m_config;
    std::unique_ptr<TestFrame> m_frame;
    QTemporaryDir m_files;
    // What the user sees, by place: filled once from a frame, its help menu, its hot-key dialog
    // and one of its message boxes.
    QMap<QString, QString> m_seen;

    void lookAtHotKeyDialog(QWidget* dialog)
    {
        m_seen["hot-key dialog title"] = dialog->windowTitle();
        m_seen["hot-key dialog object name"] = dialog->objectName();
        QStringList buttons;
        if (auto* box = dialog->findChild<QDialogButtonBox*>()) {
            for (const QAbstractButton* button : box->buttons())
                buttons << button->text();
        }
        m_seen["hot-key dialog buttons"] = buttons.join('|');
        if (auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("HotKeys"))) {
            QStringList columns;
            for (int column = 0; column < table->columnCount(); ++column)
                columns << table->horizontalHeaderItem(column)->text();
            m_seen["hot-key dialog columns"] = columns.join('|');
            for (int row = 0; row < table->rowCount(); ++row) {
                if (table->item(row, 0)->text() == QKeySequence(Qt::Key_F1).toString()) {
                    m_seen["hot-key dialog F1 name"] = table->item(row, 1)->text();
                    m_seen["hot-key dialog F1 group"] = table->item(row, 2)->text();
                }
            }
        }
        ModalAnswer::rejectDialog(dialog);
    }

private slots:
    void initTestCase()
    {
        for (const char* name : { "TevFrameBase", "GuiCentral", "Dialogs" })
            QVERIFY2(TranslationCenter::Instance().IsInstalled(QLatin1String(name)), name);

        m_config = std::make_unique<TestConfigDir>();
        m_frame = std::make_unique<TestFrame>();
        m_frame->initialize(false);
        m_seen["File menu"] = m_frame->m_fileMenu->title();
        m_seen["File menu object name"] = m_frame->m_fileMenu->objectName();
        m_seen["open entry"] = m_frame->m_openAction->text();
        m_seen["open entry object name"] = m_frame->m_openAction->objectName();
        m_seen["open shortcut"] = m_frame->m_openAction->shortcut().toString();
        m_seen["save-as entry"] = m_frame->m_saveAsAction->text();
        m_seen["save-as entry object name"] = m_frame->m_saveAsAction->objectName();
        m_seen["exit entry"] = m_frame->m_exitAction->text();

        auto* help = m_frame->findChild<TalvoHelpMenu*>();
        QVERIFY(help);
        m_seen["help menu"] = help->title();
        m_seen["help menu object name"] = help->objectName();
        m_seen["help contents entry"] = help->helpContentsAction()->text();
        m_seen["hot-keys entry"] = help->hotKeysAction()->text();
        m_seen["hot-keys entry object name"] = help->hotKeysAction()->objectName();
        m_seen["about Qt entry"] = help->aboutQtAction()->text();

        {
            ModalAnswer answer([this](QWidget* dialog) { lookAtHotKeyDialog(dialog); });
            QVERIFY(m_frame->onHotKey(m_frame->m_helpHotKeyId));
            QVERIFY(answer.seen());
        }
        {
            // A recent file that is gone: the frame says so in its "File Error" box.
            const QString missing = m_files.filePath(QStringLiteral("missing.rec"));
            m_frame->updateRecentFiles(missing);
            QAction* entry = m_frame->m_fileMenu->actions().value(m_frame->m_firstRecentId);
            QVERIFY(entry);
            ModalAnswer answer(ModalAnswer::pressButton(QStringLiteral("OK")));
            entry->trigger();
            QString text = answer.dialog().text;
            m_seen["not-found box title"] = answer.dialog().title;
            m_seen["not-found box text"] = text.replace(missing, QLatin1String("%1"));
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

    void germanTextsEnglishObjectNames_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("expected");
        const QList<QPair<const char*, QString>> rows {
            { "File menu", "Datei" },
            { "File menu object name", "File" },
            { "open entry", "Datei ö&ffnen" },
            { "open entry object name", "Open File" },
            // A translated shortcut text must still parse without Qt's own catalogue.
            { "open shortcut", "Ctrl+O" },
            { "save-as entry", "&Speichern unter..." },
            { "save-as entry object name", "Save as file" },
            { "exit entry", "Beenden" },
            { "help menu", "&Hilfe" },
            { "help menu object name", "Help" },
            { "help contents entry", "Hilfethemen" },
            { "hot-keys entry", "Tastenkürzel..." },
            { "hot-keys entry object name", "Hotkeys" },
            { "about Qt entry", "Über Qt" },
            { "hot-key dialog title", "Tastenkürzel" },
            { "hot-key dialog object name", "HotKeysDialog" },
            { "hot-key dialog columns", "Taste|Bezeichnung|Gruppe" },
            { "hot-key dialog buttons", "&Schließen" },
            { "hot-key dialog F1 name", "Hilfethemen" },
            { "hot-key dialog F1 group", "Anwendungsweit" },
            { "not-found box title", "Dateifehler" },
            { "not-found box text", "Datei: %1 nicht gefunden" },
            { "replay bar Play", "Abspielen" },
            { "info bar device name label", "Gerätename: " },
        };
        for (const auto& row : rows)
            QTest::newRow(row.first) << QString::fromLatin1(row.first) << row.second;
    }
    void germanTextsEnglishObjectNames()
    {
        QFETCH(QString, place);
        QFETCH(QString, expected);
        QVERIFY2(m_seen.contains(place), "not seen");
        QCOMPARE(m_seen.value(place), expected);
    }

    void catalogueMatchesCode_data()
    {
        QTest::addColumn<QString>("ts");
        QTest::addColumn<QStringList>("sources");
        for (const Catalogue& catalogue : catalogues()) {
            for (const QString& ts : catalogue.tsFiles) {
                QTest::newRow(qPrintable(QFileInfo(ts).fileName())) << ts << catalogue.sources;
            }
        }
    }
    void catalogueMatchesCode()
    {
        QFETCH(QString, ts);
        QFETCH(QStringList, sources);
        const QStringList problems = catalogueProblems(ts, sources);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void everyCatalogueIsChecked()
    {
        QStringList names;
        for (const Catalogue& catalogue : catalogues())
            names << catalogue.name;
        for (const QString& name : TranslationCenter::Instance().Catalogues())
            QVERIFY2(names.contains(name), qPrintable(name + " is not in the catalogue check"));
    }

    // The check itself, on a small source file and a catalogue with one fault each.
    void checkFindsFaults_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("messages");
        QTest::addColumn<QStringList>("problems"); // how each expected problem starts

        const QString open = R"(QT_TRANSLATE_NOOP("Menu", "&Open %1");)";
        const QString openDe = tsMessage("Menu", "&Open %1", "%1 ö&ffnen");
        const QString again = R"(QT_TRANSLATE_NOOP("Box", "Again?\n\n");)";
        QTest::newRow("complete") << open + again
                                  << openDe + tsMessage("Box", "Again?\n\n", "Nochmal?\n\n")
                                  << QStringList();
        QTest::newRow("literal ampersand")
            << R"(QT_TRANSLATE_NOOP("Menu", "Save && Exit");)"
            << tsMessage("Menu", "Save && Exit", "Speichern && Beenden") << QStringList();
        QTest::newRow("missing") << open + R"(QT_TRANSLATE_NOOP("Menu", "Close");)" << openDe
                                 << QStringList { "missing: Menu \"Close\"" };
        QTest::newRow("in another context")
            << open << tsMessage("Window", "&Open %1", "%1 ö&ffnen")
            << QStringList { "missing: Menu", "stale (not in the code): Window" };
        QTest::newRow("unfinished")
            << open << tsMessage("Menu", "&Open %1", "%1 ö&ffnen", "unfinished")
            << QStringList { "unfinished" };
        QTest::newRow("empty") << open << tsMessage("Menu", "&Open %1", "")
                               << QStringList { "unfinished" };
        QTest::newRow("vanished") << open << openDe + tsMessage("Menu", "Gone", "Weg", "vanished")
                                  << QStringList { "stale (vanished): Menu \"Gone\"" };
        QTest::newRow("obsolete") << open << openDe + tsMessage("Menu", "Gone", "Weg", "obsolete")
                                  << QStringList { "stale (obsolete)" };
        QTest::newRow("no longer in the code")
            << open << openDe + tsMessage("Menu", "Gone", "Weg")
            << QStringList { "stale (not in the code): Menu \"Gone\"" };
        QTest::newRow("placeholder lost") << open << tsMessage("Menu", "&Open %1", "Ö&ffnen")
                                          << QStringList { "Menu \"&Open %1\"" };
        QTest::newRow("placeholder renumbered")
            << open << tsMessage("Menu", "&Open %1", "%2 ö&ffnen")
            << QStringList { "Menu \"&Open %1\"" };
        QTest::newRow("accelerator lost") << open << tsMessage("Menu", "&Open %1", "%1 öffnen")
                                          << QStringList { "Menu \"&Open %1\"" };
        QTest::newRow("trailing newline lost")
            << again << tsMessage("Box", "Again?\n\n", "Nochmal?\n")
            << QStringList { "Box \"Again?\\n\\n\"" };
        QTest::newRow("leading newline lost")
            << R"(QT_TRANSLATE_NOOP("Box", "\nAgain?");)"
            << tsMessage("Box", "\nAgain?", "Nochmal?") << QStringList { "Box \"\\nAgain?\"" };
    }
    void checkFindsFaults()
    {
        QFETCH(QString, code);
        QFETCH(QString, messages);
        QFETCH(QStringList, problems);
        QTemporaryDir dir;
        QFile source(dir.filePath(QStringLiteral("texts.cpp")));
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write(QStringLiteral("void texts()\n{\n    %1\n}\n").arg(code).toUtf8());
        source.close();
        QFile ts(dir.filePath(QStringLiteral("texts_de.ts")));
        QVERIFY(ts.open(QIODevice::WriteOnly));
        ts.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n"
                                "<TS version=\"2.1\" language=\"de_DE\">\n%1</TS>\n")
                     .arg(messages)
                     .toUtf8());
        ts.close();

        const QStringList found = catalogueProblems(ts.fileName(), { source.fileName() });
        QVERIFY2(found.size() == problems.size(), qPrintable(found.join('\n')));
        for (int i = 0; i < found.size(); ++i)
            QVERIFY2(found.at(i).startsWith(problems.at(i)), qPrintable(found.at(i)));
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
