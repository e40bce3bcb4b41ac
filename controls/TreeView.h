#pragma once
#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <QTreeWidget>
#include <QVariant>

class IconStore;

// The suite's tree view: nodes with a key, a text, an icon number of the icon store (the tree's
// image list) and a tag, and the events the trees of the program are built on:
//  - NodeClick(node) then Click(): a single click on a node's row (not on its expand arrow),
//    also the click that ends a double click, and Enter, Return or Space on the current node;
//  - Expand(node) / Collapse(node): a node opened or closed, by the user or by the program;
//  - MouseMove(pos) over the tree (viewport coordinates) and MouseLeave();
//  - MouseUp(): the end of every mouse click or double click on the tree, after its Click.
class TreeView : public QTreeWidget {
    Q_OBJECT
public:
    enum Role { KeyRole = Qt::UserRole + 1, TagRole, IconNumberRole };

    explicit TreeView(QWidget* parent = nullptr);

    void SetIconStore(IconStore* store) { mIcons = store; }
    IconStore* Icons() const { return mIcons; }

    // Adds a node as the last child of `parent`, or as the last top-level node when `parent` is
    // null.
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& key, const QString& text, int iconNumber,
                             const QVariant& tag = QVariant());
    // A node not yet in the tree, and the insertion of many nodes at once (much faster than one by
    // one for long lists): as last children of `parent`, or top-level nodes when it is null.
    QTreeWidgetItem* NewNode(const QString& key, const QString& text, int iconNumber,
                             const QVariant& tag = QVariant()) const;
    void AddNodes(QTreeWidgetItem* parent, const QList<QTreeWidgetItem*>& nodes);
    static QString Key(const QTreeWidgetItem* node);
    static QVariant Tag(const QTreeWidgetItem* node);
    static int IconNumber(const QTreeWidgetItem* node);
    // Shows the store's image of that number on the node (in place of an image of its own).
    void SetIconNumber(QTreeWidgetItem* node, int iconNumber);
    // Shows an image that is not in the store (a site's own icon); the node keeps its number.
    static void SetNodeImage(QTreeWidgetItem* node, const QIcon& icon);
    // The first node (depth first, in tree order) with that key, or null.
    QTreeWidgetItem* NodeByKey(const QString& key) const;
    // Deletes every child of the node.
    static void RemoveChildren(QTreeWidgetItem* node);
    // The node under a point of the viewport, or null.
    QTreeWidgetItem* HitTest(const QPoint& viewportPos) const { return itemAt(viewportPos); }
    // A handle of a node that stays valid while the node exists (NodeAt gives null afterwards).
    QPersistentModelIndex PersistentIndex(QTreeWidgetItem* node) const;
    QTreeWidgetItem* NodeAt(const QPersistentModelIndex& index) const;
    // True between the press and the release of a mouse click on the tree.
    bool InMouseGesture() const { return mInGesture; }
    int NodeCount() const;

signals:
    void NodeClick(QTreeWidgetItem* node);
    void Click();
    void Expand(QTreeWidgetItem* node);
    void Collapse(QTreeWidgetItem* node);
    void MouseMove(const QPoint& viewportPos);
    void MouseLeave();
    void MouseUp();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    // The node whose row (not its arrow or indentation) is at the point, or null.
    QTreeWidgetItem* rowAt(const QPoint& viewportPos) const;
    void emitClick(QTreeWidgetItem* node);
    void pressAt(QMouseEvent* event);

    IconStore* mIcons = nullptr;
    // The row a click started on; a persistent index, since handlers may delete nodes meanwhile.
    QPersistentModelIndex mPressed;
    bool mInGesture = false;
};
