#include "recent/clsRecentFileMenu.h"

#include "controls/CommandBars.h"
#include "controls/IconStore.h"
#include "core/QvError.h"
#include "core/QvIds.h"
#include "core/XmlDocument.h"
#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"
#include "core/modMessagebox.h"
#include "core/modTools.h"
#include "platform/PlainMessage.h"
#include "platform/SpecialFolders.h"
#include "recent/clsRecentFile.h"
#include "recent/frmSelectDatePeriod.h"

#include <QCursor>
#include <QKeyEvent>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

namespace {

const char* const kWatchedBar = "qvRecentBar";
const QString kSeparator = QStringLiteral("|/|");

struct CountMenu {
    int id;
    const char* caption;
};

// The count sub-menus of the drop-down, in their order.
const CountMenu kCountMenus[] = {
    {Cmd::RecentToday, "昨天/今天"}, {Cmd::RecentWeek, "一周之内"},  {Cmd::RecentAll, "全部"},
    {Cmd::RecentWord, "Word文档"},   {Cmd::RecentSheet, "电子表格"}, {Cmd::RecentSlides, "演示文稿"},
    {Cmd::RecentPdf, "PDF,XPS"},     {Cmd::RecentImages, "图片"},    {Cmd::RecentFolders, "最近的文件夹"},
};

bool isCountMenu(int id) {
    return std::any_of(std::begin(kCountMenus), std::end(kCountMenus),
                       [id](const CountMenu& m) { return m.id == id; });
}

// A caption shows "&" literally only when doubled; a single one would mark a mnemonic.
QString captionOf(const QString& text) {
    QString caption = text;
    caption.replace(QLatin1Char('&'), QLatin1String("&&"));
    return caption;
}

// Target path, shortcut path and display name of a document entry. The entry keeps them apart
// as its tag; the parameter text is split at its separators otherwise.
QStringList documentOf(const CommandBarControl* control) {
    const QStringList tagged = control->Tag().toStringList();
    if (tagged.size() == 3)
        return tagged;
    const QStringList parts = control->Parameter().split(kSeparator);
    if (parts.size() != 3)
        throw QvError(QvErrors::InvalidArgument, QStringLiteral("Invalid procedure call or argument"));
    return parts;
}

QString shortDate(const QDate& date) {
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

} // namespace

clsRecentFileMenu::clsRecentFileMenu(clsRecentFile* store, CommandBar* toolbar)
    : mStore(store), mToolbar(toolbar), mBars(toolbar ? toolbar->Bars() : nullptr) {
    if (!toolbar || !mBars)
        return;
    mButton =
        toolbar->Add(CommandBarControl::SplitButtonPopup, Cmd::RecentMenu, QStringLiteral("最近的文档"));
    mButton->setTooltipText(
        QStringLiteral("增强的 最近打开文档 , 可以让你分时间,分类型回顾打开过的文档和文件夹"));
    mButton->setStyle(CommandBarControl::StyleIconAndCaption);
    // The desktop's icon for recent documents; the store's own icon of the command otherwise.
    const QIcon recentIcon = SpecialFolders::ThemeIcon(SpecialFolders::Recent);
    if (!recentIcon.isNull() && mBars->Icons())
        mButton->setIconId(mBars->Icons()->AddIcon(recentIcon));
    watchKeys(mButton->CommandBar());
    // Toolbar buttons take no focus by default; this one can be reached with Tab, and Space
    // on it opens the drop-down (command 107).
    if (QToolButton* face = mButton->toolButton()) {
        face->setFocusPolicy(Qt::TabFocus);
        face->setAccessibleName(QStringLiteral("最近的文档"));
    }

    mContext = mBars->Add(QStringLiteral("最近打开文档"), CommandBars::Popup);
    mContext->Add(CommandBarControl::Button, Cmd::RecentRemove, QStringLiteral("删除"));
    mContext->Add(CommandBarControl::Button, Cmd::RecentOpenFolder, QStringLiteral("打开文件夹"));

    connect(mBars, &CommandBars::InitCommandsPopup, this, &clsRecentFileMenu::onPopup);
    connect(mBars, &CommandBars::ControlRightClick, this,
            [this](CommandBarControl* control) { onRightClick(control, QCursor::pos()); });
}

clsRecentFileMenu::~clsRecentFileMenu() {
    if (mToolbar && mButton && mToolbar->Controls().contains(mButton))
        mToolbar->Remove(mButton);
    if (mContext)
        mContext->deleteLater();
}

QList<int> clsRecentFileMenu::CommandIds() {
    return {Cmd::RecentMenu,         Cmd::RecentDocument,      Cmd::RecentOpenFolder,
            Cmd::RecentRemove,       Cmd::RecentDeleteToday,   Cmd::RecentDeleteYesterday,
            Cmd::RecentDeletePeriod, Cmd::RecentDeleteImages,  Cmd::RecentDeleteType,
            Cmd::RecentDeleteFiles,  Cmd::RecentDeleteFolders, Cmd::RecentDeleteAll};
}

XmlNodeList clsRecentFileMenu::recordsOf(int subMenuId) const {
    switch (subMenuId) {
    case Cmd::RecentToday:
        return mStore->getRecentFilesSince(1);
    case Cmd::RecentWeek:
        return mStore->getRecentFilesSince(7);
    case Cmd::RecentAll:
        return mStore->getRecentFilesAll();
    case Cmd::RecentWord:
        return mStore->getRecentWordFiles();
    case Cmd::RecentSheet:
        return mStore->getRecentSheetFiles();
    case Cmd::RecentSlides:
        return mStore->getRecentSlideFiles();
    case Cmd::RecentPdf:
        return mStore->getRecentPdfFiles();
    case Cmd::RecentImages:
        return mStore->getRecentImageFiles();
    case Cmd::RecentFolders:
        return mStore->getRecentFolders();
    default:
        return {};
    }
}

void clsRecentFileMenu::onPopup(CommandBar* popup) {
    CommandBarControl* parent = popup->ParentControl();
    if (!parent || !mButton)
        return;
    // Only popups of this menu: the drop-down itself or one of its sub-menus.
    bool mine = false;
    for (CommandBarControl* c = parent; c && !mine; c = c->Parent() ? c->Parent()->ParentControl() : nullptr)
        mine = c == mButton;
    if (!mine)
        return;
    const int id = parent->Id();
    if (parent == mButton) {
        fillDropDown(popup);
    } else if (isCountMenu(id)) {
        popup->DeleteAll();
        for (const XmlNode& record : recordsOf(id))
            addDocumentEntry(popup, record);
        watchKeys(popup);
    } else if (id == Cmd::RecentDeleteTypeMenu) {
        popup->DeleteAll();
        for (const XmlNode& row : mStore->getRecentFileTypes()) {
            const QString ext = row.getAttribute(QStringLiteral("ext"));
            CommandBarControl* entry =
                popup->Add(CommandBarControl::Button, Cmd::RecentDeleteType, captionOf(ext));
            entry->setParameter(ext);
            entry->setIconId(row.getAttribute(QStringLiteral("iconid")).toInt());
        }
    }
}

void clsRecentFileMenu::fillDropDown(CommandBar* bar) {
    bar->DeleteAll();
    try {
        mStore->scanRecentFolder();
    } catch (const std::exception& e) {
        // The menu still opens, without documents: the scan starts from an empty list.
        if (modInitial::gIsDevelopMode)
            modDevelopeFunction::WriteLog(QStringLiteral("最近的文档: ") + QString::fromLocal8Bit(e.what()));
    }
    for (const XmlNode& record : mStore->getRecentFilesTop(10))
        addDocumentEntry(bar, record);

    for (const CountMenu& menu : kCountMenus) {
        const int count = recordsOf(menu.id).length();
        CommandBarControl* sub =
            bar->Add(CommandBarControl::Popup, menu.id,
                     QString::fromUtf8(menu.caption) + QStringLiteral("(%1)").arg(count));
        sub->setEnabled(count > 0);
        if (menu.id == Cmd::RecentToday || menu.id == Cmd::RecentWord)
            sub->setBeginGroup(true);
    }

    CommandBarControl* remove =
        bar->Add(CommandBarControl::Popup, Cmd::RecentDeleteMenu, QStringLiteral("删除"));
    remove->setBeginGroup(true);
    CommandBar* d = remove->CommandBar();
    d->Add(CommandBarControl::Label, 0, QStringLiteral(" 时间"));
    d->Add(CommandBarControl::Button, Cmd::RecentDeleteToday, QStringLiteral("今天"));
    d->Add(CommandBarControl::Button, Cmd::RecentDeleteYesterday, QStringLiteral("昨天"));
    d->Add(CommandBarControl::Button, Cmd::RecentDeletePeriod, QStringLiteral("特定时间"));
    d->Add(CommandBarControl::Label, 0, QStringLiteral(" 类型"));
    d->Add(CommandBarControl::Button, Cmd::RecentDeleteImages, QStringLiteral("所有图片"));
    d->Add(CommandBarControl::Popup, Cmd::RecentDeleteTypeMenu, QStringLiteral("特定类型"));
    d->Add(CommandBarControl::Button, Cmd::RecentDeleteFiles, QStringLiteral("所有文件"))
        ->setBeginGroup(true);
    d->Add(CommandBarControl::Button, Cmd::RecentDeleteFolders, QStringLiteral("所有文件夹"));
    d->Add(CommandBarControl::Button, Cmd::RecentDeleteAll, QStringLiteral("全部删除"));
}

void clsRecentFileMenu::addDocumentEntry(CommandBar* bar, const XmlNode& record) {
    const QString filename = record.getAttribute(QStringLiteral("filename"));
    const QString filelink = record.getAttribute(QStringLiteral("filelink"));
    const QString ofilelink = record.getAttribute(QStringLiteral("ofilelink"));
    CommandBarControl* entry = bar->Add(CommandBarControl::Button, Cmd::RecentDocument, captionOf(filename));
    entry->setParameter(filelink + kSeparator + ofilelink + kSeparator + filename);
    entry->setTag(QStringList{filelink, ofilelink, filename});
    entry->setTooltipText(filelink);
    entry->setStyle(CommandBarControl::StyleIconAndCaption);
    entry->setIconId(mStore->getFileIconId(record.getAttribute(QStringLiteral("fileext")), filelink));
}

void clsRecentFileMenu::watchKeys(CommandBar* bar) {
    if (QMenu* menu = bar ? bar->menu() : nullptr) {
        menu->setProperty(kWatchedBar, QVariant::fromValue<QObject*>(bar));
        menu->installEventFilter(this);
    }
}

// The menu key and Shift+F10 on a document entry open its context menu, as a right click does.
bool clsRecentFileMenu::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool contextKey =
        key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier);
    auto* menu = qobject_cast<QMenu*>(watched);
    if (!contextKey || !menu || !menu->activeAction())
        return false;
    auto* bar = qobject_cast<CommandBar*>(menu->property(kWatchedBar).value<QObject*>());
    if (!bar)
        return false;
    for (CommandBarControl* control : bar->Controls()) {
        if (control->action() == menu->activeAction() && control->Id() == Cmd::RecentDocument) {
            onRightClick(control, menu->mapToGlobal(menu->actionGeometry(menu->activeAction()).center()));
            return true;
        }
    }
    return false;
}

void clsRecentFileMenu::onRightClick(CommandBarControl* control, const QPoint& globalPos) {
    if (!control || control->Id() != Cmd::RecentDocument || !mContext)
        return;
    for (CommandBarControl* entry : mContext->Controls()) {
        entry->setParameter(control->Parameter());
        entry->setTag(control->Tag());
    }
    mContext->ShowPopup(globalPos);
}

void clsRecentFileMenu::Execute(CommandBarControl* control) {
    try {
        run(control);
    } catch (const QvError& e) {
        ShowPlainMessage(QString::number(e.number()) + e.description());
    } catch (const std::exception& e) {
        ShowPlainMessage(QString::number(QvErrors::General) + QString::fromLocal8Bit(e.what()));
    }
}

void clsRecentFileMenu::run(CommandBarControl* control) {
    if (!control)
        return;
    switch (control->Id()) {
    case Cmd::RecentMenu:
        // The button's own face opens the drop-down too, rather than doing nothing.
        if (QToolButton* button = mButton ? mButton->toolButton() : nullptr)
            QTimer::singleShot(0, button, &QToolButton::showMenu);
        return;
    case Cmd::RecentDocument:
        modTools::OpenFile(documentOf(control).at(0));
        return;
    case Cmd::RecentOpenFolder:
        modTools::OpenFileFolder(documentOf(control).at(0));
        return;
    case Cmd::RecentRemove: {
        const QStringList document = documentOf(control);
        if (modMessagebox::ConfirmRemoveRecentDocument(document.at(2)) == Answer::Yes)
            mStore->removeRecord(document.at(1), false);
        return;
    }
    case Cmd::RecentDeleteToday:
        mStore->deleteRecentRecords(mStore->getRecentFilesSince(0), QStringLiteral("今天所有的文件记录"));
        return;
    case Cmd::RecentDeleteYesterday: {
        const QDate yesterday = QDate::currentDate().addDays(-1);
        mStore->deleteRecentRecords(mStore->getRecentFilesBetween(yesterday, yesterday),
                                    QStringLiteral("昨天所有的文件记录"));
        return;
    }
    case Cmd::RecentDeletePeriod:
        deleteByPeriod();
        return;
    case Cmd::RecentDeleteImages:
        mStore->deleteRecentRecords(mStore->getRecentImageFiles(), QStringLiteral("所有的图片记录"));
        return;
    case Cmd::RecentDeleteType:
        mStore->deleteRecentRecords(mStore->getRecentFilesByExt(control->Parameter()),
                                    QStringLiteral("所有") + control->Parameter() +
                                        QStringLiteral("类型的文件记录"));
        return;
    case Cmd::RecentDeleteFiles:
        mStore->deleteRecentRecords(mStore->getRecentFileRecords(), QStringLiteral("所有文件记录"));
        return;
    case Cmd::RecentDeleteFolders:
        mStore->deleteRecentRecords(mStore->getRecentFolders(), QStringLiteral("所有文件夹记录"));
        return;
    case Cmd::RecentDeleteAll:
        // What the question promises: every record, the folders included.
        mStore->deleteRecentRecords(mStore->getRecentRecords(), QStringLiteral("所有文件和文件夹记录"));
        return;
    default:
        return;
    }
}

void clsRecentFileMenu::deleteByPeriod() {
    QDate start;
    QDate end;
    {
        frmSelectDatePeriod dialog(mBars ? mBars->window() : nullptr);
        dialog.exec();
        if (dialog.isCancel)
            return;
        start = dialog.startDate;
        end = dialog.endDate;
    }
    const QString description = start == end
                                    ? shortDate(start) + QStringLiteral("的文件记录")
                                    : QStringLiteral("从") + shortDate(start) + QStringLiteral("到") +
                                          shortDate(end) + QStringLiteral("之间的文件记录");
    mStore->deleteRecentRecords(mStore->getRecentFilesBetween(start, end), description);
}
