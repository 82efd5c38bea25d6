#include "databind/controls/EditContextMenu.h"

#include "platform/ErrorReporter.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeySequence>
#include <QMenu>
#include <QMimeData>

namespace {

QAction* addCommand(QMenu& menu, const char* text, const QKeySequence& shortcut, bool enabled,
                    std::function<void()> run)
{
    QString label = QCoreApplication::translate("QLineEdit", text);
    if (!shortcut.isEmpty())
        label += QLatin1Char('\t') + shortcut.toString(QKeySequence::NativeText);
    QAction* action = menu.addAction(label);
    action->setEnabled(enabled);
    QObject::connect(action, &QAction::triggered, &menu, [run = std::move(run)] { ErrorReporter::guarded(run); });
    return action;
}

} // namespace

void EditContextMenu::exec(QWidget& owner, const QPoint& globalPosition, const Commands& commands)
{
    const auto editing = [askEdit = commands.askEdit](const std::function<void()>& run) {
        return [askEdit, run] {
            if (askEdit())
                run();
        };
    };
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    const bool canPaste = clipboard && clipboard->hasText();

    QMenu menu(&owner);
    addCommand(menu, "&Undo", QKeySequence::Undo, commands.undoAvailable, editing(commands.undo));
    addCommand(menu, "&Redo", QKeySequence::Redo, !commands.readOnly && commands.redoAvailable, commands.redo);
    menu.addSeparator();
    addCommand(menu, "Cu&t", QKeySequence::Cut, commands.hasSelection, editing(commands.cut));
    addCommand(menu, "&Copy", QKeySequence::Copy, commands.hasSelection, commands.copy);
    addCommand(menu, "&Paste", QKeySequence::Paste, canPaste, editing(commands.paste));
    addCommand(menu, "Delete", QKeySequence(), !commands.readOnly && commands.hasSelection, commands.deleteSelection);
    menu.addSeparator();
    addCommand(menu, "Select All", QKeySequence::SelectAll, commands.hasText, commands.selectAll);
    menu.exec(globalPosition);
}
