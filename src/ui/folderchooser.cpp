#include "ui/folderchooser.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>

namespace qn {

FileKindIconProvider::FileKindIconProvider()
{
    // A folder's own icon would be read from a file inside it.
    setOptions(DontUseCustomDirectoryIcons);
}

QIcon FileKindIconProvider::icon(const QFileInfo &info) const
{
    if (info.isRoot())
        return QFileIconProvider::icon(Drive);
    if (info.isDir())
        return QFileIconProvider::icon(Folder);
    return QFileIconProvider::icon(File);
}

QString FileKindIconProvider::type(const QFileInfo &info) const
{
    // Qt's own wording (and its translations) for everything but a file, where it would
    // look up the contents' MIME type.
    if (info.isFile())
        return QCoreApplication::translate("QAbstractFileIconProvider", "File");
    return QFileIconProvider::type(info);
}

void prepareFolderDialog(QFileDialog &dialog, FileKindIconProvider &provider)
{
    dialog.setFileMode(QFileDialog::Directory);
    QFileDialog::Options options = QFileDialog::ShowDirsOnly | QFileDialog::DontUseCustomDirectoryIcons;
#ifndef Q_OS_WIN
    options |= QFileDialog::DontUseNativeDialog;
#endif
    dialog.setOptions(options);
    dialog.setIconProvider(&provider);
}

QString chooseFolder(QWidget *parent, const QString &title, const QString &start)
{
    FileKindIconProvider provider; // outlives the dialog below
    QFileDialog dialog(parent, title, start);
    prepareFolderDialog(dialog, provider);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.constFirst();
}

} // namespace qn
