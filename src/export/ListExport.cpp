#include "export/ListExport.h"

#include "databind/RecordSet.h"
#include "base/Clock.h"
#include "base/Error.h"
#include "look/ProgramLook.h"
#include "platform/ErrorReporter.h"
#include "platform/MessageBoxes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>

#include <memory>

namespace ListExport {

Outcome run(QWidget* parent, RecordSet& list, const Format& format, const Dialogs& dialogs, const Writer& write)
{
    Outcome outcome = Outcome::Failed;
    ErrorReporter::guarded([&] {
        if (list.isOpen())
            list.checkBrowseMode();
        const QString path = dialogs.choosePath(parent, proposedPath(format.suffix));
        if (path.isEmpty()) {
            outcome = Outcome::Cancelled;
            return;
        }
        const int rows = list.recordCount();
        Progress progress;
        if (rows > progressDialogRows && dialogs.progress)
            progress = dialogs.progress(parent, rows);
        const bool written = write(path, progress);
        progress = nullptr; // the dialog goes before the box comes
        if (!written) {
            outcome = Outcome::Cancelled;
            return;
        }
        MessageBoxes::tell(
            parent, ProgramLook::title(),
            QStringLiteral("Файл «%1» записан, строк: %2.").arg(QDir::toNativeSeparators(path)).arg(rows));
        outcome = Outcome::Written;
    });
    return outcome;
}

Dialogs standardDialogs(const Format& format)
{
    Dialogs dialogs;
    dialogs.choosePath = [format](QWidget* parent, const QString& proposedPath) {
        QFileDialog dialog(parent, format.saveCaption);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(format.nameFilter);
        dialog.setDefaultSuffix(format.suffix);
        dialog.setDirectory(QFileInfo(proposedPath).path());
        dialog.selectFile(proposedPath);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    };
    dialogs.progress = [format](QWidget* parent, int rows) -> Progress {
        // One step past the rows for finishing the file, so the bar never reaches the end and closes early.
        auto dialog =
            std::make_shared<QProgressDialog>(format.progressText, QStringLiteral("Отмена"), 0, rows + 1, parent);
        dialog->setWindowTitle(ProgramLook::title());
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->setMinimumDuration(0);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        dialog->setValue(0);
        return [dialog](int done, int) {
            dialog->setValue(done);
            QCoreApplication::processEvents();
            return !dialog->wasCanceled();
        };
    };
    return dialogs;
}

QString proposedPath(const QString& suffix)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const QString name = QStringLiteral("%1 %2.%3")
                             .arg(ProgramLook::title(), Clock::today().toString(QStringLiteral("yyyy-MM-dd")), suffix);
    return QDir(folder).filePath(name);
}

void failWriting(const QString& path, const QString& reason)
{
    throw Error(QStringLiteral("Не удалось записать файл «%1»: %2").arg(QDir::toNativeSeparators(path), reason));
}

} // namespace ListExport
