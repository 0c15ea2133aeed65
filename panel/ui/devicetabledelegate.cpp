#include "devicetabledelegate.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

DeviceTableDelegate::DeviceTableDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QWidget* DeviceTableDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    editor_ = editor;
    openedByClick_ = lastEventWasClick_;
    if (EditorOpened)
        EditorOpened(index.column(), index.row() + 1);
    return editor;
}

void DeviceTableDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    if (DrawCell)
        DrawCell(painter, option.rect, index.column(), index.row() + 1);
    else
        QStyledItemDelegate::paint(painter, option, index);
}

void DeviceTableDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const
{
    if (editor == editor_)
        editor_ = nullptr;
    QStyledItemDelegate::destroyEditor(editor, index);
}

bool DeviceTableDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                      const QStyleOptionViewItem& option, const QModelIndex& index)
{
    // The view opens a clicked cell's editor a double-click time later,
    // without an event; a key opens it at once with the key.
    if (event)
        lastEventWasClick_ = event->type() == QEvent::MouseButtonRelease;
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

void DeviceTableDelegate::CloseEditor(bool commit)
{
    QWidget* editor = editor_;
    if (!editor)
        return;
    editor_ = nullptr;
    if (commit)
        emit commitData(editor);
    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool DeviceTableDelegate::eventFilter(QObject* object, QEvent* event)
{
    if (object == editor_) {
        if (event->type() == QEvent::FocusIn && openedByClick_) {
            // The view selects the whole text as it opens the editor.
            openedByClick_ = false;
            if (auto* line = qobject_cast<QLineEdit*>(editor_))
                line->end(false);
        } else if (event->type() == QEvent::KeyPress) {
            int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
                if (KeyPress)
                    KeyPress(key);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            // A popup menu or another window taking over leaves the editor
            // the window's focused control: the edit goes on, with the
            // keyboard, when the window is active again.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
                FocusLost)
                FocusLost();
            return true;
        }
    }
    // An editor already handed back (or a key we leave alone) takes the
    // usual way, except that a handed-back editor must not commit again.
    if (event->type() == QEvent::FocusOut && object != editor_)
        return true;
    return QStyledItemDelegate::eventFilter(object, event);
}
