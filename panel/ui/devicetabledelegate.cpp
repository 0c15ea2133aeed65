#include "devicetabledelegate.h"

#include <QEvent>
#include <QKeyEvent>

DeviceTableDelegate::DeviceTableDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QWidget* DeviceTableDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    editor_ = editor;
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
        if (event->type() == QEvent::KeyPress) {
            int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
                if (KeyPress)
                    KeyPress(key);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            if (FocusLost)
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
