// The frame's file handling: opening with the access test, recent files, save as.

#include "archivefetch_p.h"
#include "cframemainwnd.h"
#include "cpersistantstringlist.h"
#include "csettings.h"
#include "framestate_p.h"
#include "framevalues_p.h"
#include "tevvaluenames.h"

#include <guibase/guibase.h>
#include <values/valueselection.h>

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

namespace {

const QString kFileScheme = QStringLiteral("file:");

std::string nativePath(const QString& fileName)
{
    return fileName.toUtf8().toStdString();
}

// Sets "FileName" (when the frame holds it) and an existing "ExtFileName" to the opened file.
void publishOpenedFile(values::StringValue* fileName, const QString& valueRoot, const QString& name)
{
    if (fileName)
        fileName->SetValue(name, nullptr);
    const QString extPath
        = valueRoot + QLatin1Char('/') + QLatin1String(TevValueNames::ExtFileName);
    if (values::StringValue* ext = FrameValues::findStringValue(extPath, nullptr, nullptr))
        ext->SetValue(name, nullptr);
}

// "FileLoaded" follows every open, also a cancelled or refused one.
void selectLoaded(values::ValueSelection* fileLoaded, bool loaded)
{
    if (fileLoaded)
        fileLoaded->Select(QLatin1String(loaded ? "On" : "Off"), nullptr);
}

void showNotFound(QWidget* parent, const QString& fileName)
{
    QMessageBox::information(parent, CFrameMainWnd::tr("File Error"),
        CFrameMainWnd::tr("File: %1 not found").arg(fileName), QMessageBox::Ok);
}

// The in-use question; true only for "Yes". Escape answers "No".
bool askOpenAnyway(QWidget* parent, const QString& fileName)
{
    QMessageBox box(QMessageBox::Warning, CFrameMainWnd::tr("Warning"),
        CFrameMainWnd::tr("File: %1 is opened by another application!").arg(fileName)
            + CFrameMainWnd::tr("\nDo you want to open the file anyway?\n\n"),
        QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(CFrameMainWnd::tr("Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(CFrameMainWnd::tr("No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

// The folder a file dialog starts in. The stored open path may carry the "file:" prefix and
// name a folder of another machine (the "c:\\temp" default on Linux); Qt would then open the
// current folder with the last path part typed into the name box, where a stray Enter saves.
QString dialogStartFolder(const QString& dir)
{
    QString folder = dir;
    if (folder.startsWith(kFileScheme))
        folder.remove(0, kFileScheme.size());
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    return QDir::homePath();
}

// "<folder>/<complete base name>" of a file name: what the three files of a recording share.
QString recordingBase(const QFileInfo& info)
{
    return info.path() + QLatin1Char('/') + info.completeBaseName();
}

} // namespace

QString CFrameMainWnd::openFileDialog(QString& dir)
{
    return QFileDialog::getOpenFileName(this, tr("Open File"), dialogStartFolder(dir), tr("*.*"),
        nullptr, GuiBase::Instance().UseNativeDialogs());
}

QString CFrameMainWnd::saveAsFileDialog(QString& dir)
{
    // save() never overwrites: the dialog must not ask "replace?" for a file that stays.
    return QFileDialog::getSaveFileName(this, tr("Save File"), dialogStartFolder(dir), tr("*.rec"),
        nullptr, GuiBase::Instance().UseNativeDialogs() | QFileDialog::DontConfirmOverwrite);
}

bool CFrameMainWnd::load(const QString& fileName, const QString& displayName, bool)
{
    setWindowTitle(
        QStringLiteral("%1 - [%2]").arg(m_appName, displayName.isEmpty() ? fileName : displayName));
    return false;
}

void CFrameMainWnd::slotLoad()
{
    const FrameState::BusyScope busy(this);
    QString savedOpenPath;
    QString startFolder;
    if (m_lastOpenFolder.isEmpty()) {
        savedOpenPath = m_fileOpenPath;
        startFolder = QString(savedOpenPath).remove(kFileScheme);
    } else {
        startFolder = m_lastOpenFolder;
    }

    // A file dropped onto the window takes the dialog's place; the steps after it are the same.
    QString name = FrameState::of(this)->takeDroppedFile();
    if (name.isEmpty()) {
        name = QFileDialog::getOpenFileName(this, tr("Open recording files"),
            dialogStartFolder(startFolder), QStringLiteral("*.rec"), nullptr,
            GuiBase::Instance().UseNativeDialogs());
    }
    const int slash = name.lastIndexOf(QLatin1Char('/'));
    m_lastOpenFolder = slash < 0 ? QString() : name.left(slash);

    bool loaded = false;
    if (!name.isEmpty()) {
        bool fileExists = false;
        bool proceed = checkAccess(name, fileExists);
        if (!proceed && !fileExists)
            showNotFound(this, name);
        else if (!proceed)
            proceed = askOpenAnyway(this, name);
        if (proceed) {
            loaded = load(name, QString(), true);
            publishOpenedFile(m_fileName, m_valueRoot, name);
            m_fileOpenPath = savedOpenPath;
        }
    }
    selectLoaded(m_fileLoaded, loaded);
}

void CFrameMainWnd::fileOpenRecent()
{
    const FrameState::BusyScope busy(this);
    auto* action = qobject_cast<QAction*>(sender());
    if (!action)
        return;
    bool isId = false;
    const int id = action->data().toInt(&isId);
    if (!isId)
        return;
    // An entry that outlived a change of the list without a menu rebuild opens nothing.
    const int index = id - m_firstRecentId;
    if (!m_settings || index < 0 || index >= m_settings->recentFiles().size())
        return;

    QString fileName = m_settings->recentFiles().at(index);
    QString displayName;
    bool isLocal = true;
    bool loaded = false;
    bool proceed = true;

    if (ArchiveFetch::isArchiveName(fileName)) {
        const ArchiveFetch::Result fetched = ArchiveFetch::fetch(fileName, this);
        if (fetched.outcome == ArchiveFetch::Outcome::Fetched) {
            displayName = fileName;
            fileName = fetched.localPath;
            isLocal = false;
        } else if (fetched.outcome == ArchiveFetch::Outcome::FailedWithMessage) {
            // The user was told the archive failed for now: no "not found" on top of it, and
            // the entry stays for the next try.
            proceed = false;
        }
    }

    if (proceed) {
        bool fileExists = false;
        if (checkAccess(fileName, fileExists)) {
            loaded = load(fileName, displayName, isLocal);
            publishOpenedFile(m_fileName, m_valueRoot, fileName);
        } else if (!fileExists) {
            showNotFound(this, fileName);
            m_settings->recentFiles().removeOne(fileName);
            updateRecentFilesMenu();
        } else if (askOpenAnyway(this, fileName)) {
            loaded = load(fileName, displayName, isLocal);
            publishOpenedFile(m_fileName, m_valueRoot, fileName);
        }
    }
    selectLoaded(m_fileLoaded, loaded);
}

void CFrameMainWnd::updateRecentFiles(const QString& fileName)
{
    if (!m_settings)
        return;
    // A local name is kept absolute, so that the entry still opens after a start from another
    // folder, and a relative name and its absolute form are one entry.
    const QString entry
        = fileName.startsWith(ArchiveFetch::kUrlPrefix, Qt::CaseInsensitive) || fileName.isEmpty()
        ? fileName
        : QFileInfo(fileName).absoluteFilePath();
    QStringList& files = m_settings->recentFiles();
    if (files.contains(entry))
        return;
    files.append(entry);
    if (files.size() > CPersistantStringList::iMAX_ITEMS)
        files.removeFirst();
    updateRecentFilesMenu();
}

void CFrameMainWnd::updateRecentFilesMenu()
{
    if (!m_fileMenu)
        return;
    const QStringList files = m_settings ? m_settings->recentFiles() : QStringList();
    for (int id = m_firstRecentId; id < m_firstRecentId + CPersistantStringList::iMAX_ITEMS; ++id) {
        if (QAction* entry = GetActionFromMenu(m_fileMenu, id)) {
            disconnect(entry, SIGNAL(triggered()), this, SLOT(fileOpenRecent()));
            m_fileMenu->removeAction(entry);
            delete entry;
        }
    }
    // Actions a front end appended after the menu was built take places of the entries.
    for (int i = 0; i < files.size()
         && m_fileMenu->actions().size() < m_firstRecentId + CPersistantStringList::iMAX_ITEMS;
         ++i) {
        auto* entry = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(files.at(i)), this);
        entry->setData(m_firstRecentId + i);
        connect(entry, SIGNAL(triggered()), this, SLOT(fileOpenRecent()));
        m_fileMenu->addAction(entry);
    }
}

void CFrameMainWnd::slotSaveAs()
{
    const FrameState::BusyScope busy(this);
    QString dir = m_fileOpenPath;
    const QString fileName = saveAsFileDialog(dir);
    if (!fileName.isEmpty())
        save(fileName);
}

void CFrameMainWnd::save(const QString& fileName)
{
    const FrameState::BusyScope busy(this);
    if (fileName == m_currentFile) {
        QMessageBox::information(this, tr("Copy File Information"),
            tr("The destination filename: [%1] is equal to the current filename.\nPlease specify "
               "a unique destination filename!")
                .arg(fileName),
            QMessageBox::Ok);
        return;
    }

    QFileInfo source(m_currentFile);
    const QFileInfo destination(fileName);
    if (ArchiveFetch::isArchiveName(m_currentFile)) {
        const ArchiveFetch::Result fetched = ArchiveFetch::fetch(m_currentFile, this);
        if (fetched.outcome == ArchiveFetch::Outcome::Fetched)
            source = QFileInfo(fetched.localPath);
    }

    // A missing companion is normal and skipped without a word; an existing file that could not
    // be copied is reported, and the title names the new file only when the recording itself
    // was copied.
    QStringList notCopied;
    bool recordingCopied = false;
    for (const char* extension : { ".rec", ".bt", ".avl" }) {
        const QString from = recordingBase(source) + QLatin1String(extension);
        const QString to = recordingBase(destination) + QLatin1String(extension);
        std::string reason;
        const fileapi::CopyResult result
            = fileapi::CopyNoOverwrite(nativePath(from), nativePath(to), &reason);
        if (result == fileapi::CopyResult::Copied) {
            recordingCopied = recordingCopied || qstrcmp(extension, ".rec") == 0;
        } else if (result != fileapi::CopyResult::SourceMissing) {
            notCopied << QStringLiteral("%1 (%2)").arg(to, QString::fromStdString(reason));
        }
    }
    if (!notCopied.isEmpty()) {
        QMessageBox::warning(this, tr("Copy File Information"),
            tr("These files were not copied:\n%1").arg(notCopied.join(QLatin1Char('\n'))),
            QMessageBox::Ok);
    }
    // The title names the recording written, whatever extension the name was typed with.
    if (recordingCopied) {
        setWindowTitle(QStringLiteral("%1 - [%2]")
                           .arg(m_appName, recordingBase(destination) + QLatin1String(".rec")));
    }
}

bool CFrameMainWnd::checkAccess(const QString& fileName, bool& fileExists)
{
    const fileapi::Handle probe = openFileExist(fileName);
    if (probe == fileapi::InvalidHandle) {
        fileExists = false;
        return false;
    }
    fileapi::Close(probe);
    const fileapi::Handle writer = openFileWrite(fileName, false);
    fileExists = true;
    if (writer == fileapi::InvalidHandle)
        return false;
    fileapi::Close(writer);
    return true;
}

fileapi::Handle CFrameMainWnd::openFileExist(const QString& fileName)
{
    return fileapi::OpenExisting(nativePath(fileName));
}

fileapi::Handle CFrameMainWnd::openFileWrite(const QString& fileName, bool shareWrite)
{
    return fileapi::OpenWrite(nativePath(fileName), shareWrite);
}

fileapi::Handle CFrameMainWnd::openFileCreateAndWrite(const QString& fileName, bool shareWrite)
{
    const fileapi::Handle created = fileapi::CreateNew(nativePath(fileName), shareWrite);
    if (created == fileapi::InvalidHandle)
        return fileapi::InvalidHandle;
    fileapi::Close(created);
    return openFileWrite(fileName, shareWrite);
}
