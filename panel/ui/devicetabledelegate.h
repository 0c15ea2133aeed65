#pragma once

#include <QPointer>
#include <QStyledItemDelegate>
#include <functional>

// Draws the cells of the device table and reports the life of its in-place
// name editor to the window, which decides what a key or a focus loss does.
class DeviceTableDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit DeviceTableDelegate(QObject* parent = nullptr);

    std::function<void(QPainter*, const QRect&, int col, int row)> DrawCell;
    std::function<void(int col, int row)> EditorOpened;
    std::function<void(int& key)> KeyPress;  // Enter, Return and Escape only
    std::function<void()> FocusLost;

    // The open editor, or nullptr.
    QWidget* Editor() const { return editor_; }
    // Takes the editor's text into the table (commit) and closes the editor.
    void CloseEditor(bool commit);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // The view hands the editor back here, also when it closed the editor
    // by itself (another cell became current).
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
    // Sees the event that opens an editor: a click keeps the old name to
    // edit, a typed key replaces it.
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    mutable QPointer<QWidget> editor_;
    bool lastEventWasClick_ = false;
    mutable bool openedByClick_ = false;
};
