#include "controls/TreeView.h"

#include "controls/IconStore.h"

#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

namespace {

// A node of the tree: its key, tag, icon number and own image live in the node itself rather
// than in the item's list of role values, which makes long lists several times cheaper to build.
// The image shown is the node's own image when it has one, else the store's image of its number.
class TreeNode final : public QTreeWidgetItem {
public:
    TreeNode(const QString& key, const QString& text, int iconNumber, const QVariant& tag)
        : QTreeWidgetItem(UserType), mKey(key), mTag(tag), mIconNumber(iconNumber) {
        setText(0, text);
    }

    QVariant data(int column, int role) const override {
        if (column == 0) {
            switch (role) {
            case TreeView::KeyRole:
                return mKey;
            case TreeView::TagRole:
                return mTag;
            case TreeView::IconNumberRole:
                return mIconNumber;
            case Qt::DecorationRole:
                if (!mImage.isNull())
                    return mImage;
                if (auto* view = qobject_cast<TreeView*>(treeWidget()); view && view->Icons())
                    return view->Icons()->icon(mIconNumber);
                return QVariant();
            default:
                break;
            }
        }
        return QTreeWidgetItem::data(column, role);
    }

    void setData(int column, int role, const QVariant& value) override {
        if (column == 0) {
            switch (role) {
            case TreeView::KeyRole:
                mKey = value.toString();
                return;
            case TreeView::TagRole:
                mTag = value;
                emitDataChanged();
                return;
            case TreeView::IconNumberRole:
                // A new number shows the store's image, in place of any image of its own.
                mIconNumber = value.toInt();
                mImage = QIcon();
                emitDataChanged();
                return;
            case Qt::DecorationRole:
                mImage = value.value<QIcon>();
                emitDataChanged();
                return;
            default:
                break;
            }
        }
        QTreeWidgetItem::setData(column, role, value);
    }

    QTreeWidgetItem* clone() const override {
        auto* copy = new TreeNode(mKey, text(0), mIconNumber, mTag);
        copy->mImage = mImage;
        return copy;
    }

private:
    QString mKey;
    QVariant mTag;
    int mIconNumber;
    QIcon mImage;
};

} // namespace

TreeView::TreeView(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
    setMouseTracking(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Narrow panes scroll sideways instead of cutting the texts short.
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    header()->setResizeContentsPrecision(0);
    connect(this, &QTreeWidget::itemExpanded, this, &TreeView::Expand);
    connect(this, &QTreeWidget::itemCollapsed, this, &TreeView::Collapse);
}

QTreeWidgetItem* TreeView::NewNode(const QString& key, const QString& text, int iconNumber,
                                   const QVariant& tag) const {
    return new TreeNode(key, text, iconNumber, tag);
}

void TreeView::AddNodes(QTreeWidgetItem* parent, const QList<QTreeWidgetItem*>& nodes) {
    if (parent)
        parent->addChildren(nodes);
    else
        addTopLevelItems(nodes);
}

QTreeWidgetItem* TreeView::AddNode(QTreeWidgetItem* parent, const QString& key, const QString& text,
                                   int iconNumber, const QVariant& tag) {
    QTreeWidgetItem* node = NewNode(key, text, iconNumber, tag);
    if (parent)
        parent->addChild(node);
    else
        addTopLevelItem(node);
    return node;
}

QString TreeView::Key(const QTreeWidgetItem* node) {
    return node ? node->data(0, KeyRole).toString() : QString();
}

QVariant TreeView::Tag(const QTreeWidgetItem* node) {
    return node ? node->data(0, TagRole) : QVariant();
}

int TreeView::IconNumber(const QTreeWidgetItem* node) {
    return node ? node->data(0, IconNumberRole).toInt() : 0;
}

void TreeView::SetIconNumber(QTreeWidgetItem* node, int iconNumber) {
    if (!node)
        return;
    node->setData(0, IconNumberRole, iconNumber);
    // A node of another kind keeps its image in the item itself.
    if (node->type() != QTreeWidgetItem::UserType && mIcons)
        node->setIcon(0, mIcons->icon(iconNumber));
}

void TreeView::SetNodeImage(QTreeWidgetItem* node, const QIcon& icon) {
    if (node)
        node->setIcon(0, icon);
}

QTreeWidgetItem* TreeView::NodeByKey(const QString& key) const {
    QTreeWidgetItemIterator it(const_cast<TreeView*>(this));
    for (; *it; ++it) {
        if ((*it)->data(0, KeyRole).toString() == key)
            return *it;
    }
    return nullptr;
}

void TreeView::RemoveChildren(QTreeWidgetItem* node) {
    if (!node)
        return;
    const QList<QTreeWidgetItem*> children = node->takeChildren();
    qDeleteAll(children);
}

QPersistentModelIndex TreeView::PersistentIndex(QTreeWidgetItem* node) const {
    return node ? QPersistentModelIndex(indexFromItem(node)) : QPersistentModelIndex();
}

QTreeWidgetItem* TreeView::NodeAt(const QPersistentModelIndex& index) const {
    return index.isValid() ? itemFromIndex(index) : nullptr;
}

int TreeView::NodeCount() const {
    int count = 0;
    QTreeWidgetItemIterator it(const_cast<TreeView*>(this));
    for (; *it; ++it)
        ++count;
    return count;
}

QTreeWidgetItem* TreeView::rowAt(const QPoint& viewportPos) const {
    QTreeWidgetItem* node = itemAt(viewportPos);
    if (!node)
        return nullptr;
    // Left of the node's own rectangle lie the indentation and the expand arrow, which open and
    // close the node without clicking it.
    const QRect rect = visualItemRect(node);
    return viewportPos.x() >= rect.left() ? node : nullptr;
}

void TreeView::pressAt(QMouseEvent* event) {
    QTreeWidgetItem* node = event->button() == Qt::LeftButton ? rowAt(event->position().toPoint()) : nullptr;
    mPressed = node ? QPersistentModelIndex(indexFromItem(node)) : QPersistentModelIndex();
}

void TreeView::mousePressEvent(QMouseEvent* event) {
    mInGesture = true;
    pressAt(event);
    QTreeWidget::mousePressEvent(event);
}

void TreeView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click: its release is a click as well.
    mInGesture = true;
    pressAt(event);
    QTreeWidget::mouseDoubleClickEvent(event);
}

void TreeView::mouseReleaseEvent(QMouseEvent* event) {
    QPointer<TreeView> self(this);
    QTreeWidget::mouseReleaseEvent(event);
    if (!self)
        return;
    QTreeWidgetItem* pressed = mPressed.isValid() ? itemFromIndex(mPressed) : nullptr;
    mPressed = QPersistentModelIndex();
    if (pressed && event->button() == Qt::LeftButton && rowAt(event->position().toPoint()) == pressed)
        emitClick(pressed);
    if (!self)
        return;
    mInGesture = false;
    emit MouseUp();
}

void TreeView::emitClick(QTreeWidgetItem* node) {
    QPointer<TreeView> self(this);
    setCurrentItem(node);
    emit NodeClick(node);
    if (self)
        emit Click();
}

void TreeView::mouseMoveEvent(QMouseEvent* event) {
    QTreeWidget::mouseMoveEvent(event);
    emit MouseMove(event->position().toPoint());
}

void TreeView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (QTreeWidgetItem* node = currentItem()) {
            emitClick(node);
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QTreeWidget::keyPressEvent(event);
}

bool TreeView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave)
        emit MouseLeave();
    return QTreeWidget::viewportEvent(event);
}
