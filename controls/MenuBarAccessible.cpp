#include "controls/MenuBarAccessible.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace {

const char* const kProperty = "qvMenuBarAccessible";

QString withoutMnemonics(QString text) {
    text.replace(QLatin1String("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

// One menu title of the bar: a menu item that opens its menu (or runs its command).
class MenuBarItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    MenuBarItemAccessible(QMenuBar* bar, QAction* action) : mBar(bar), mAction(action) {}

    bool isValid() const override { return mBar && mAction; }
    QObject* object() const override { return mAction; }
    QWindow* window() const override { return mBar ? mBar->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(mBar); }
    QAccessibleInterface* child(int index) const override {
        return index == 0 && menu() ? QAccessible::queryAccessibleInterface(menu()) : nullptr;
    }
    int childCount() const override { return menu() ? 1 : 0; }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && menu() && child->object() == menu() ? 0 : -1;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        if (!mAction)
            return QString();
        switch (t) {
        case QAccessible::Name:
            return withoutMnemonics(mAction->text());
        case QAccessible::Description:
            return mAction->toolTip() == withoutMnemonics(mAction->text()) ? QString() : mAction->toolTip();
        default:
            return QString();
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid())
            return QRect();
        const QRect r = mBar->actionGeometry(mAction);
        return QRect(mBar->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid())
            return s;
        s.focusable = true;
        s.disabled = !mAction->isEnabled();
        s.invisible = !mAction->isVisible() || !mBar->isVisible();
        s.hasPopup = menu() != nullptr;
        s.focused = mBar->activeAction() == mAction;
        s.expanded = menu() && menu()->isVisible();
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override {
        return menu() ? QStringList{showMenuAction(), pressAction()} : QStringList{pressAction()};
    }
    void doAction(const QString& name) override {
        if (!isValid() || !mAction->isEnabled())
            return;
        if (menu() && (name == showMenuAction() || name == pressAction()))
            mBar->setActiveAction(mAction);
        else if (name == pressAction())
            mAction->trigger();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QMenu* menu() const { return mAction ? mAction->menu() : nullptr; }

    QPointer<QMenuBar> mBar;
    QPointer<QAction> mAction;
};

QAccessibleInterface* factory(const QString& className, QObject* object) {
    if (className == QLatin1String("QMenuBar") && object && object->property(kProperty).toBool())
        return new MenuBarAccessible(static_cast<QMenuBar*>(object));
    return nullptr;
}

} // namespace

MenuBarAccessible::MenuBarAccessible(QMenuBar* menuBar) : QAccessibleWidget(menuBar, QAccessible::MenuBar) {}

void MenuBarAccessible::Use(QMenuBar* menuBar) {
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(factory);
        installed = true;
    }
    menuBar->setProperty(kProperty, true);
}

QMenuBar* MenuBarAccessible::bar() const {
    return static_cast<QMenuBar*>(widget());
}

QList<QWidget*> MenuBarAccessible::corners() const {
    QList<QWidget*> list;
    for (Qt::Corner corner : {Qt::TopLeftCorner, Qt::TopRightCorner}) {
        if (QWidget* w = bar()->cornerWidget(corner); w && !w->isHidden())
            list.append(w);
    }
    return list;
}

int MenuBarAccessible::childCount() const {
    return int(bar()->actions().size() + corners().size());
}

QAccessibleInterface* MenuBarAccessible::child(int index) const {
    const QList<QAction*> actions = bar()->actions();
    if (index < 0)
        return nullptr;
    if (index < actions.size()) {
        QAction* action = actions.at(index);
        if (QAccessibleInterface* known = QAccessible::queryAccessibleInterface(action))
            return known;
        auto* item = new MenuBarItemAccessible(bar(), action);
        QAccessible::registerAccessibleInterface(item);
        return item;
    }
    const QList<QWidget*> list = corners();
    const qsizetype cornerIndex = index - actions.size();
    return cornerIndex < list.size() ? QAccessible::queryAccessibleInterface(list.at(cornerIndex)) : nullptr;
}

int MenuBarAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (!child || !child->object())
        return -1;
    const QList<QAction*> actions = bar()->actions();
    if (auto* action = qobject_cast<QAction*>(child->object()))
        return int(actions.indexOf(action));
    const qsizetype at = corners().indexOf(qobject_cast<QWidget*>(child->object()));
    return at < 0 ? -1 : int(actions.size() + at);
}

QAccessibleInterface* MenuBarAccessible::childAt(int x, int y) const {
    for (int i = 0; i < childCount(); ++i) {
        QAccessibleInterface* c = child(i);
        if (c && c->rect().contains(x, y))
            return c;
    }
    return nullptr;
}
