// Folders dropped anywhere on the main window join its search path list.
#include "windows/droppedfolders.h"
#include "windows/frmmain.h"

#include "platform/messages.h"

#include <QComboBox>
#include <QDropEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>

namespace mixgen {

namespace {

void appendDropped(QComboBox* cboPath, const QList<QUrl>& items, const QString& limitMessage) {
    const DroppedFolders dropped = appendDroppedFolders(cboPath->currentText(), items);
    if (dropped.pathText != cboPath->currentText())
        cboPath->setEditText(dropped.pathText);
    if (dropped.overLimit)
        MsgBox(limitMessage, MsgButtons::Ok, MsgIcon::Critical);
}

// Takes the drag and drop events of the main window and its controls, so that no control
// puts the dropped names into its own text, and hands each drop to the window's handlers.
class DropCatcher final : public QObject {
public:
    DropCatcher(frmMain& main) : QObject(&main), m_main(main) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (drag->mimeData()->hasUrls())
                acceptAsCopy(drag);
            else
                drag->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!drop->mimeData()->hasUrls()) {
                drop->ignore();
                return true;
            }
            acceptAsCopy(drop);
            // Handled once the drag has ended, so the file manager is not kept waiting while
            // a message is on the screen.
            QTimer::singleShot(
                0, &m_main, [main = &m_main, target = watched, items = drop->mimeData()->urls()] {
                    if (target == main->cmdBrowsePath)
                        main->cmdBrowsePath_OLEDragDrop(items);
                    else if (target == main->cboPath || target == main->cboPath->lineEdit())
                        main->cboPath_OLEDragDrop(items);
                    else
                        main->Form_OLEDragDrop(items);
                });
            return true;
        }
        default:
            return false;
        }
    }

private:
    // Never a move: the file manager must not take the dropped folders away.
    static void acceptAsCopy(QDropEvent* event) {
        const Qt::DropAction action =
            event->possibleActions().testFlag(Qt::LinkAction) ? Qt::LinkAction : Qt::CopyAction;
        event->setDropAction(action);
        event->accept();
    }

    frmMain& m_main;
};

} // namespace

void frmMain::initDrops() {
    auto* catcher = new DropCatcher(*this);
    const QList<QWidget*> targets = {this,
                                     fraMain,
                                     cboPath,
                                     cboPath->lineEdit(),
                                     cmdBrowsePath,
                                     cboOutput,
                                     cboOutput->lineEdit(),
                                     cmdBrowseOutput,
                                     txtNumber,
                                     cmdPlaylist,
                                     cmdOptions,
                                     cmdExit,
                                     cmdHelp,
                                     lblOutput,
                                     lblPath,
                                     lblNumber,
                                     lblTag};
    for (QWidget* target : targets) {
        target->setAcceptDrops(true);
        target->installEventFilter(catcher);
    }
}

void frmMain::cmdBrowsePath_OLEDragDrop(const QList<QUrl>& items) {
    appendDropped(cboPath, items,
                  QStringLiteral("Cannot process more than 5000 paths at once. The first 5000 "
                                 "will be used."));
}

void frmMain::cboPath_OLEDragDrop(const QList<QUrl>& items) {
    Form_OLEDragDrop(items);
}

// Every control but the path Browse button handles a drop as the window does.
void frmMain::Form_OLEDragDrop(const QList<QUrl>& items) {
    appendDropped(cboPath, items, QStringLiteral("Cannot process more than 5000 paths at once."));
}

} // namespace mixgen
