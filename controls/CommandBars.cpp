#include "controls/CommandBars.h"

#include "controls/IconStore.h"
#include "controls/MenuBarAccessible.h"
#include "controls/StatusBar.h"

#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

#include <functional>
#include <utility>

namespace {

// The popup QMenu knows its bar through this property, so that mouse events on the menu can be
// mapped back to controls.
const char* const kBarProperty = "qvCommandBar";

// An editable combo box that tells its owner before its list drops down, so that the list can
// be refilled at that moment (the address box fills it from the typed-address history), and
// when Enter is pressed in it.
class CommandComboBox : public QComboBox {
public:
    CommandComboBox(std::function<void()> beforeDropDown, std::function<void()> enter)
        : mBeforeDropDown(std::move(beforeDropDown)), mEnter(std::move(enter)) {}

    void showPopup() override {
        if (mBeforeDropDown)
            mBeforeDropDown();
        QComboBox::showPopup();
    }

protected:
    // Enter reaches the combo box exactly once, whether it was sent to the combo box (its focus
    // proxy) or to the line edit, which passes it on; the line edit's returnPressed fires twice
    // in the second case.
    void keyPressEvent(QKeyEvent* event) override {
        QComboBox::keyPressEvent(event);
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && mEnter)
            mEnter();
    }

private:
    std::function<void()> mBeforeDropDown;
    std::function<void()> mEnter;
};

// A label shows its caption as plain text: "&&" is a literal ampersand, a single "&" only marks
// the mnemonic letter, which a label cannot use.
QString withoutMnemonics(const QString& caption) {
    QString text;
    text.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) {
                text += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        text += caption[i];
    }
    return text;
}

Qt::ToolButtonStyle toolButtonStyle(CommandBarControl::Style style, bool hasIcon) {
    // A button asked to show only an icon that it does not have shows its caption instead of
    // an empty face.
    switch (style) {
    case CommandBarControl::StyleCaption:
        return Qt::ToolButtonTextOnly;
    case CommandBarControl::StyleIconAndCaption:
        return hasIcon ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonTextOnly;
    case CommandBarControl::StyleIcon:
    case CommandBarControl::StyleAutomatic:
        break;
    }
    return hasIcon ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextOnly;
}

// A tool button's own keys open its drop-down: Down, Alt+Down or F4, as in a combo box (Space
// runs the button, or opens the list of a button that is only a list).
class DropDownKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* button = qobject_cast<QToolButton*>(watched);
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (!button || (key != Qt::Key_Down && key != Qt::Key_F4))
            return false;
        const QAction* action = button->defaultAction();
        if (!button->menu() && !(action && action->menu<QMenu*>()))
            return false;
        button->showMenu();
        return true;
    }
};

// Qt's tool bar buttons take no focus: every button of a tool bar is reached with Tab here, is
// announced by its caption (its tooltip when it shows only an icon) and opens its list by key.
void makeKeyboardReachable(QToolButton* button, const CommandBarControl* control) {
    button->setFocusPolicy(Qt::TabFocus);
    QString name = withoutMnemonics(control->Caption());
    if (name.trimmed().isEmpty())
        name = control->TooltipText();
    if (!name.isEmpty())
        button->setAccessibleName(name);
    if (!button->findChild<DropDownKeys*>(QString(), Qt::FindDirectChildrenOnly))
        button->installEventFilter(new DropDownKeys(button));
}

QToolButton::ToolButtonPopupMode popupMode(CommandBarControl::Type type) {
    switch (type) {
    case CommandBarControl::SplitButtonPopup:
        return QToolButton::MenuButtonPopup;
    case CommandBarControl::Popup:
    case CommandBarControl::ButtonPopup:
        return QToolButton::InstantPopup;
    default:
        return QToolButton::DelayedPopup;
    }
}

Qt::ToolBarArea toolBarArea(CommandBars::Position position) {
    switch (position) {
    case CommandBars::Bottom:
        return Qt::BottomToolBarArea;
    case CommandBars::Left:
        return Qt::LeftToolBarArea;
    case CommandBars::Right:
        return Qt::RightToolBarArea;
    default:
        return Qt::TopToolBarArea;
    }
}

void collectControls(const CommandBar* bar, int id, bool firstOnly, QList<CommandBarControl*>& found) {
    for (CommandBarControl* control : bar->Controls()) {
        if (firstOnly && !found.isEmpty())
            return;
        if (control->Id() == id)
            found.append(control);
        if (control->CommandBar())
            collectControls(control->CommandBar(), id, firstOnly, found);
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CommandBarControl

CommandBarControl::CommandBarControl(::CommandBar* parent, Type type, int id, const QString& caption)
    : QObject(parent), mParent(parent), mType(type), mId(id), mCaption(caption), mIconId(id) {
    switch (type) {
    case Popup:
    case SplitButtonPopup:
    case ButtonPopup: {
        // The popup owns its menu; the menu's own action stands for the control, so menu bars,
        // menus and tool buttons all show it as a submenu or a drop-down. The window is the
        // menu's parent only so that the platform places it as that window's popup.
        auto* menu = new QMenu(parent->Bars()->window());
        mPopup = new ::CommandBar(parent->Bars(), ::CommandBar::PopupBar, caption, menu, this);
        mAction = menu->menuAction();
        break;
    }
    case Label: {
        auto* action = new QWidgetAction(this);
        mLabel = new QLabel;
        mLabel->setContentsMargins(6, 2, 6, 2);
        mLabel->setTextFormat(Qt::PlainText);
        action->setDefaultWidget(mLabel);
        mAction = action;
        break;
    }
    case ComboBox: {
        auto* action = new QWidgetAction(this);
        auto* combo = new CommandComboBox(
            [this] {
                if (CommandBars* bars = mParent ? mParent->Bars() : nullptr)
                    emit bars->ComboBoxDropDown(this);
            },
            [this] { Execute(); });
        combo->setEditable(true);
        // The owner keeps the list (the typed-address history); Enter must not add to it.
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        combo->setMinimumWidth(160);
        mCombo = combo;
        action->setDefaultWidget(combo);
        mAction = action;
        break;
    }
    case Custom:
        mAction = new QWidgetAction(this);
        break;
    case Button:
        mAction = new QAction(this);
        break;
    }
    if (type != Label && type != ComboBox && type != Custom)
        connect(mAction, &QAction::triggered, this, [this] { onTriggered(); });
    refreshAction();
    refreshIcon();
}

CommandBarControl::~CommandBarControl() {
    // The popup bar deletes its menu and with it the menu's action, which is this control's
    // action; it must go before anything looks at the action again.
    delete mPopup;
    mPopup = nullptr;
    if (mType == Popup || mType == SplitButtonPopup || mType == ButtonPopup)
        mAction = nullptr;
}

void CommandBarControl::setId(int id) {
    mId = id;
    if (!mIconExplicit) {
        mIconId = id;
        refreshIcon();
    }
}

void CommandBarControl::setCustomWidget(QWidget* widget) {
    auto* action = qobject_cast<QWidgetAction*>(mAction);
    if (mType != Custom || !action)
        return;
    if (widget && widget->accessibleName().isEmpty())
        widget->setAccessibleName(withoutMnemonics(mCaption));
    // The action lends the window to the menu or toolbar that shows it and deletes it with itself.
    action->setDefaultWidget(widget);
    // A bar that took the action before it had a window asks again once the action is re-added.
    const QList<QObject*> holders = action->associatedObjects();
    for (QObject* holder : holders) {
        if (auto* bar = qobject_cast<QWidget*>(holder))
            bar->removeAction(action);
    }
    if (mParent)
        mParent->relayout();
}

QWidget* CommandBarControl::customWidget() const {
    auto* action = qobject_cast<QWidgetAction*>(mAction);
    return mType == Custom && action ? action->defaultWidget() : nullptr;
}

void CommandBarControl::setCaption(const QString& caption) {
    mCaption = caption;
    refreshAction();
}

void CommandBarControl::setTooltipText(const QString& text) {
    mTooltip = text;
    refreshAction();
}

void CommandBarControl::setIconId(int number) {
    mIconExplicit = true;
    mIconId = number;
    refreshIcon();
}

void CommandBarControl::setBeginGroup(bool begin) {
    if (mBeginGroup == begin)
        return;
    mBeginGroup = begin;
    if (mParent)
        mParent->relayout();
}

void CommandBarControl::setEnabled(bool enabled) {
    mEnabled = enabled;
    refreshAction();
}

void CommandBarControl::setChecked(bool checked) {
    mChecked = checked;
    refreshAction();
}

void CommandBarControl::setVisible(bool visible) {
    if (mVisible == visible)
        return;
    mVisible = visible;
    if (mParent)
        mParent->relayout();
}

void CommandBarControl::setStyle(Style style) {
    mStyle = style;
    refreshAction();
    refreshIcon();
}

void CommandBarControl::setRightAligned(bool right) {
    if (mRightAligned == right)
        return;
    mRightAligned = right;
    refreshIcon();
    if (mParent)
        mParent->relayout();
}

QToolButton* CommandBarControl::toolButton() const {
    return mParent ? mParent->buttonFor(this) : nullptr;
}

void CommandBarControl::Execute() {
    if (!mEnabled)
        return;
    if (CommandBars* bars = mParent ? mParent->Bars() : nullptr)
        emit bars->Execute(this);
}

void CommandBarControl::onTriggered() {
    // The checked mark belongs to the owner: a click reports the command and leaves the mark
    // as the owner set it (Qt would have toggled it already).
    if (mAction->isCheckable() && mAction->isChecked() != mChecked)
        mAction->setChecked(mChecked);
    Execute();
}

void CommandBarControl::refreshAction() {
    if (!mAction)
        return;
    mAction->setText(mCaption);
    mAction->setToolTip(mTooltip);
    mAction->setEnabled(mEnabled);
    if (mType != Label && mType != ComboBox && mType != Custom) {
        // Only a checked control is checkable: a menu draws an empty check box for a checkable
        // entry, which these menus never show.
        if (mChecked) {
            mAction->setCheckable(true);
            mAction->setChecked(true);
        } else {
            mAction->setChecked(false);
            mAction->setCheckable(false);
        }
    }
    mAction->setIconVisibleInMenu(mStyle != StyleCaption);
    if (mLabel) {
        mLabel->setText(withoutMnemonics(mCaption));
        mLabel->setToolTip(mTooltip);
    }
    if (mCombo) {
        mCombo->lineEdit()->setPlaceholderText(withoutMnemonics(mCaption));
        mCombo->setAccessibleName(withoutMnemonics(mCaption));
        mCombo->setToolTip(mTooltip);
    }
    if (mPopup)
        mPopup->mTitle = mCaption;
    if (mParent)
        mParent->updateButtons();
}

void CommandBarControl::refreshIcon() {
    if (!mAction || !mParent)
        return;
    QIcon icon = mParent->iconFor(mIconId);
    // A menu bar item with an icon shows the icon alone; menu titles keep their captions unless
    // the control asks for an icon only. Right-aligned buttons show both.
    if (mParent->kind() == ::CommandBar::MenuBar && !mRightAligned && mStyle != StyleIcon)
        icon = QIcon();
    mAction->setIcon(icon);
    mParent->updateButtons();
}

QAction* CommandBarControl::separatorAction() {
    if (!mSeparator) {
        mSeparator = new QAction(this);
        mSeparator->setSeparator(true);
    }
    return mSeparator;
}

// ---------------------------------------------------------------------------------------------
// CommandBar

CommandBar::CommandBar(CommandBars* bars, Kind kind, const QString& title, QWidget* widget,
                       CommandBarControl* parentControl)
    : QObject(parentControl ? static_cast<QObject*>(parentControl) : static_cast<QObject*>(bars)),
      mBars(bars), mKind(kind), mTitle(title), mWidget(widget), mParentControl(parentControl) {
    if (kind == PopupBar)
        bars->registerPopup(this);
}

CommandBar::~CommandBar() {
    if (mKind == PopupBar)
        delete mWidget.data();
}

CommandBarControl* CommandBar::Add(CommandBarControl::Type type, int id, const QString& caption, int before) {
    auto* control = new CommandBarControl(this, type, id, caption);
    if (before < 0 || before > mControls.size())
        mControls.append(control);
    else
        mControls.insert(before, control);
    relayout();
    return control;
}

CommandBarControl* CommandBar::Item(int index) const {
    return index >= 0 && index < mControls.size() ? mControls.at(index) : nullptr;
}

CommandBarControl* CommandBar::Find(int id, bool recursive) const {
    for (CommandBarControl* control : mControls) {
        if (control->Id() == id)
            return control;
        if (recursive && control->mPopup) {
            if (CommandBarControl* inner = control->mPopup->Find(id, true))
                return inner;
        }
    }
    return nullptr;
}

// Removed controls are deleted once control returns to the event loop: a handler that removes
// the very control it was called for (a rescan refilling its own bar) keeps a valid pointer, and
// Qt is never left inside a deleted action or menu.
void CommandBar::Remove(CommandBarControl* control) {
    if (!mControls.removeOne(control))
        return;
    relayout();
    control->deleteLater();
}

void CommandBar::DeleteAll() {
    const QList<CommandBarControl*> old = std::exchange(mControls, {});
    relayout();
    for (CommandBarControl* control : old)
        control->deleteLater();
}

bool CommandBar::Visible() const {
    if (!mWidget)
        return false;
    return mKind == PopupBar ? mWidget->isVisible() : !mWidget->isHidden();
}

void CommandBar::setVisible(bool visible) {
    if (!mWidget)
        return;
    if (mKind == PopupBar) {
        if (visible)
            ShowPopup();
        else
            mWidget->hide();
        return;
    }
    mWidget->setVisible(visible);
}

void CommandBar::ShowPopup(const QPoint& globalPos) {
    if (QMenu* popup = menu())
        popup->popup(globalPos);
}

void CommandBar::ShowPopup() {
    ShowPopup(QCursor::pos());
}

QMenuBar* CommandBar::menuBar() const {
    return qobject_cast<QMenuBar*>(mWidget.data());
}

QToolBar* CommandBar::toolBar() const {
    return qobject_cast<QToolBar*>(mWidget.data());
}

QMenu* CommandBar::menu() const {
    return qobject_cast<QMenu*>(mWidget.data());
}

// Brings the widget's action list in line with the controls: visible controls in order, with a
// separator before each group start that has a visible control before it. Only the differences
// are applied, so unchanged tool buttons stay as they are.
void CommandBar::relayout() {
    if (!mWidget)
        return;
    QList<QAction*> wanted;
    QList<CommandBarControl*> corner;
    bool anyBefore = false;
    for (CommandBarControl* control : std::as_const(mControls)) {
        if (!control->mVisible || !control->mAction)
            continue;
        if (mKind == MenuBar && control->mRightAligned) {
            corner.append(control);
            continue;
        }
        if (control->mBeginGroup && anyBefore)
            wanted.append(control->separatorAction());
        wanted.append(control->mAction);
        anyBefore = true;
    }

    QWidget* widget = mWidget;
    for (QAction* action : widget->actions()) {
        if (!wanted.contains(action))
            widget->removeAction(action);
    }
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        QList<QAction*> current = widget->actions();
        if (i < current.size() && current.at(i) == wanted.at(i))
            continue;
        if (current.contains(wanted.at(i))) {
            widget->removeAction(wanted.at(i));
            current = widget->actions();
        }
        widget->insertAction(i < current.size() ? current.at(i) : nullptr, wanted.at(i));
    }
    if (mKind == MenuBar)
        relayoutCorner(corner);
    updateButtons();
}

void CommandBar::relayoutCorner(const QList<CommandBarControl*>& controls) {
    QMenuBar* bar = menuBar();
    if (!bar || (controls == mCornerControls && (mCorner || controls.isEmpty())))
        return;
    mCornerControls = controls;
    if (mCorner) {
        bar->setCornerWidget(nullptr, Qt::TopRightCorner);
        mCorner->hide();
        mCorner->deleteLater();
        mCorner = nullptr;
    }
    if (controls.isEmpty())
        return;
    auto* corner = new QWidget(bar);
    auto* layout = new QHBoxLayout(corner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (CommandBarControl* control : controls) {
        auto* button = new QToolButton(corner);
        button->setAutoRaise(true);
        // Reachable with the Tab key and announced by its caption, like any other button.
        button->setFocusPolicy(Qt::TabFocus);
        button->setDefaultAction(control->mAction);
        button->setAccessibleName(withoutMnemonics(control->mCaption));
        layout->addWidget(button);
    }
    bar->setCornerWidget(corner, Qt::TopRightCorner);
    corner->show();
    mCorner = corner;
}

void CommandBar::updateButtons() {
    if (mKind == PopupBar || !mWidget)
        return;
    for (const CommandBarControl* control : std::as_const(mControls)) {
        QToolButton* button = buttonFor(control);
        if (!button)
            continue;
        const bool hasIcon = !control->mAction->icon().isNull();
        // Right-aligned menu bar buttons always show their caption beside the icon.
        const CommandBarControl::Style style =
            mKind == MenuBar && control->mStyle == CommandBarControl::StyleAutomatic
                ? CommandBarControl::StyleIconAndCaption
                : control->mStyle;
        button->setToolButtonStyle(toolButtonStyle(style, hasIcon));
        if (mKind == MenuBar)
            button->setAccessibleName(withoutMnemonics(control->mCaption));
        else
            makeKeyboardReachable(button, control);
        if (control->mPopup)
            button->setPopupMode(popupMode(control->mType));
    }
}

QToolButton* CommandBar::buttonFor(const CommandBarControl* control) const {
    if (!control->mAction)
        return nullptr;
    if (QToolBar* bar = toolBar())
        return qobject_cast<QToolButton*>(bar->widgetForAction(control->mAction));
    if (mKind == MenuBar && mCorner) {
        const auto buttons = mCorner->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly);
        for (QToolButton* button : buttons) {
            if (button->defaultAction() == control->mAction)
                return button;
        }
    }
    return nullptr;
}

const CommandBar* CommandBar::rootBar() const {
    const CommandBar* bar = this;
    while (bar->mParentControl && bar->mParentControl->mParent)
        bar = bar->mParentControl->mParent;
    return bar;
}

QIcon CommandBar::iconFor(int number) const {
    const IconStore* store = mBars ? mBars->Icons() : nullptr;
    if (!store || number < 0 || !store->contains(number))
        return QIcon();
    return store->icon(number);
}

// ---------------------------------------------------------------------------------------------
// CommandBars

CommandBars::CommandBars(QMainWindow* window) : QObject(window), mWindow(window) {}

// The bars and their controls are children of this object and go with it, each popup bar taking
// its menu along; the menu bar, toolbars and status bar belong to the window. The set is made
// before any of its menus, so a window that deletes its children deletes the set first.
CommandBars::~CommandBars() = default;

void CommandBars::SetIconStore(IconStore* store) {
    mIcons = store;
    for (CommandBar* bar : allBars()) {
        for (CommandBarControl* control : std::as_const(bar->mControls))
            control->refreshIcon();
    }
}

void CommandBars::SetFont(const QFont& font) {
    mFont = font;
    mFontSet = true;
    for (CommandBar* bar : allBars())
        applyFont(bar->widget());
}

void CommandBars::applyFont(QWidget* widget) const {
    // Menus are windows of their own and do not inherit a font, so every bar widget gets it;
    // the widgets inside a bar inherit it from there.
    if (widget && mFontSet)
        widget->setFont(mFont);
}

CommandBar* CommandBars::ActiveMenuBar() {
    if (!mMenuBar) {
        QMenuBar* bar = mWindow->menuBar();
        // The right-aligned buttons sit in the bar's corner, where assistive technology would
        // not look for them.
        MenuBarAccessible::Use(bar);
        mMenuBar = new CommandBar(this, CommandBar::MenuBar, QStringLiteral("Menu Bar"), bar);
        applyFont(bar);
    }
    return mMenuBar;
}

CommandBar* CommandBars::Add(const QString& title, Position position) {
    if (position == Popup) {
        auto* menu = new QMenu(mWindow);
        menu->setTitle(title);
        return new CommandBar(this, CommandBar::PopupBar, title, menu);
    }
    const Qt::ToolBarArea area = toolBarArea(position);
    bool occupied = false;
    const auto existing = mWindow->findChildren<QToolBar*>(Qt::FindDirectChildrenOnly);
    for (QToolBar* other : existing) {
        if (mWindow->toolBarArea(other) == area)
            occupied = true;
    }
    auto* toolBar = new QToolBar(title, mWindow);
    toolBar->setObjectName(title);
    // Set explicitly, so the per-button styles are not reset when the window's style changes.
    toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar->setIconSize(QSize(16, 16));
    if (occupied)
        mWindow->addToolBarBreak(area);
    mWindow->addToolBar(area, toolBar);
    applyFont(toolBar);
    auto* bar = new CommandBar(this, CommandBar::ToolBar, title, toolBar);
    mToolBars.append(bar);
    return bar;
}

CommandBar* CommandBars::ToolBarByTitle(const QString& title) const {
    for (CommandBar* bar : mToolBars) {
        if (bar->Title() == title)
            return bar;
    }
    return nullptr;
}

StatusBar* CommandBars::statusBar() {
    if (!mStatusBar)
        mStatusBar = new StatusBar(mWindow->statusBar());
    return mStatusBar;
}

QList<CommandBar*> CommandBars::allBars() const {
    // Every bar of the set, popups included, parents before their popups.
    QList<CommandBar*> bars;
    if (mMenuBar)
        bars.append(mMenuBar);
    bars += mToolBars;
    bars += mPopups;
    for (qsizetype i = 0; i < bars.size(); ++i) {
        for (CommandBarControl* control : std::as_const(bars.at(i)->mControls)) {
            if (control->mPopup)
                bars.append(control->mPopup);
        }
    }
    return bars;
}

CommandBarControl* CommandBars::FindControl(int id) const {
    QList<CommandBarControl*> found;
    QList<CommandBar*> tops;
    if (mMenuBar)
        tops.append(mMenuBar);
    tops += mToolBars;
    tops += mPopups;
    for (const CommandBar* bar : std::as_const(tops)) {
        collectControls(bar, id, true, found);
        if (!found.isEmpty())
            return found.first();
    }
    return nullptr;
}

QList<CommandBarControl*> CommandBars::FindControls(int id) const {
    QList<CommandBarControl*> found;
    QList<CommandBar*> tops;
    if (mMenuBar)
        tops.append(mMenuBar);
    tops += mToolBars;
    tops += mPopups;
    for (const CommandBar* bar : std::as_const(tops))
        collectControls(bar, id, false, found);
    return found;
}

void CommandBars::DockRightOf(CommandBar* bar, CommandBar* reference) {
    QToolBar* moving = bar ? bar->toolBar() : nullptr;
    QToolBar* anchor = reference ? reference->toolBar() : nullptr;
    if (!moving || !anchor || moving == anchor || mWindow->toolBarArea(anchor) == Qt::NoToolBarArea)
        return;
    // QMainWindow only inserts before a bar: put the bar before the reference, then the
    // reference before the bar. Both end up on the reference's row, the bar right of it; a row
    // the bar leaves empty disappears with its break.
    mWindow->insertToolBar(anchor, moving);
    mWindow->insertToolBar(moving, anchor);
    RecalcLayout();
}

void CommandBars::RecalcLayout() {
    for (CommandBar* bar : allBars())
        bar->relayout();
    if (QLayout* layout = mWindow->layout())
        layout->activate();
}

void CommandBars::registerPopup(CommandBar* popup) {
    QMenu* menu = popup->menu();
    if (!menu)
        return;
    menu->setProperty(kBarProperty, QVariant::fromValue<QObject*>(popup));
    menu->setToolTipsVisible(true);
    menu->installEventFilter(this);
    applyFont(menu);
    // Controls added by the owner while the popup is about to show are laid out at once, so the
    // menu opens with them.
    connect(menu, &QMenu::aboutToShow, popup, [this, popup] { emit InitCommandsPopup(popup); });
    if (!popup->ParentControl()) {
        mPopups.append(popup);
        connect(popup, &QObject::destroyed, this, [this, popup] { mPopups.removeOne(popup); });
    }
}

bool CommandBars::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* menu = qobject_cast<QMenu*>(watched);
    if (mouse->button() != Qt::RightButton || !menu)
        return false;
    auto* bar = qobject_cast<CommandBar*>(menu->property(kBarProperty).value<QObject*>());
    // A context popup of its own takes a right click like a left one, as context menus do.
    if (!bar || bar->rootBar()->kind() == CommandBar::PopupBar)
        return false;
    QAction* action = menu->actionAt(mouse->position().toPoint());
    if (!action)
        return false;
    for (CommandBarControl* control : std::as_const(bar->mControls)) {
        if (control->mAction != action)
            continue;
        if (event->type() == QEvent::MouseButtonRelease)
            emit ControlRightClick(control);
        return true;
    }
    return false;
}
