#pragma once
// The log folder chooser. Qt's own folder dialog picks each file's icon and type from
// its first bytes; in a folder such as /proc (a read of /proc/kmsg never returns) or
// beside a FIFO that read blocks, on the GUI thread when the model refreshes an entry
// and in the dialog's destructor, which waits for its gathering thread. The chooser
// here names and draws entries from what a stat says (drive, folder, file) and never
// opens one. GUI thread only.
#include <QFileIconProvider>
#include <QString>

class QFileDialog;
class QWidget;

namespace qn {

// Icons and type texts by kind of entry only: no file is opened, so no read can block.
class FileKindIconProvider final : public QFileIconProvider {
public:
    FileKindIconProvider();
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo &info) const override;
    QString type(const QFileInfo &info) const override;
};

// Sets dialog up as the folder chooser: folders only, with the given provider, which
// must outlive it. Off Windows it is Qt's own dialog, the one whose provider this program
// controls; Windows has its shell's folder browser, which reads no contents either.
void prepareFolderDialog(QFileDialog &dialog, FileKindIconProvider &provider);

// Runs the chooser modally, preselecting start; the chosen folder, or empty on cancel.
QString chooseFolder(QWidget *parent, const QString &title, const QString &start);

} // namespace qn
