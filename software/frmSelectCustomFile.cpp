#include "software/frmSelectCustomFile.h"

#include "controls/IconStore.h"
#include "core/QvError.h"
#include "core/QvIds.h"
#include "core/clsUserData.h"
#include "core/modInitial.h"
#include "core/modMessagebox.h"
#include "platform/FileIcons.h"
#include "platform/PlainMessage.h"
#include "platform/Twips.h"
#include "software/clsFileDialog.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace {

// The list's one column is 3000 twips wide.
constexpr int kListColumnTwips = 3000;

QPointer<frmSelectCustomFile>& theWindow() {
    static QPointer<frmSelectCustomFile> window;
    return window;
}

QPushButton* button(const QString& caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(caption);
    b->setAutoDefault(false);
    return b;
}

} // namespace

frmSelectCustomFile::frmSelectCustomFile(clsUserData* userData, QWidget* parent)
    : QDialog(parent), mUserData(userData) {
    setObjectName(QStringLiteral("frmSelectCustomFile"));
    setWindowTitle(QStringLiteral("选择加入文件"));
    setAttribute(Qt::WA_DeleteOnClose);
    if (modInitial::gIconStore)
        setWindowIcon(modInitial::gIconStore->icon(Cmd::AddSoftware));
    buildControls();

    mCustomsApp = mUserData->LocalCustomsAppXMLNode();
    fillList();
    cmd_Save->setEnabled(false);
    markFirstEntry();
    setMode(ViewMode);
}

frmSelectCustomFile::~frmSelectCustomFile() = default;

frmSelectCustomFile* frmSelectCustomFile::Existing() {
    return theWindow();
}

frmSelectCustomFile* frmSelectCustomFile::ShowWindow(clsUserData* userData, QWidget* owner) {
    frmSelectCustomFile* window = theWindow();
    if (!window) {
        if (!userData || userData->XMLNode.isNull()) {
            ShowPlainMessage(QStringLiteral("用户数据没有载入，无法编辑自定义软件。"));
            return nullptr;
        }
        window = new frmSelectCustomFile(userData, owner);
        theWindow() = window;
        // The window edits the store's document; it goes when the store goes.
        connect(userData, &QObject::destroyed, window, &QObject::deleteLater);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void frmSelectCustomFile::buildControls() {
    auto* heading = new QLabel(QStringLiteral("自定义本地软件快捷方式"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    heading->setFont(bold);
    auto* line = new QLabel(QStringLiteral("加入本地软件的快捷方式，可以快速的打开自己需要的软件"), this);
    line->setWordWrap(true);

    lvw_CustomApp = new QListWidget(this);
    lvw_CustomApp->setObjectName(QStringLiteral("lvw_CustomApp"));
    lvw_CustomApp->setAccessibleName(QStringLiteral("自定义本地软件"));
    lvw_CustomApp->setIconSize(QSize(16, 16));
    lvw_CustomApp->setSelectionMode(QAbstractItemView::SingleSelection);
    lvw_CustomApp->setFixedWidth(int(std::lround(kListColumnTwips / Twips::PerPixelX())) +
                                 2 * lvw_CustomApp->frameWidth());
    lvw_CustomApp->setMinimumHeight(180);

    auto* nameLabel = new QLabel(QStringLiteral("名称"), this);
    txt_AppName = new QLineEdit(this);
    txt_AppName->setObjectName(QStringLiteral("txt_AppName"));
    txt_AppName->setAccessibleName(QStringLiteral("名称"));
    nameLabel->setBuddy(txt_AppName);

    auto* pathLabel = new QLabel(QStringLiteral("路径"), this);
    txt_AppPath = new QLineEdit(this);
    txt_AppPath->setObjectName(QStringLiteral("txt_AppPath"));
    txt_AppPath->setAccessibleName(QStringLiteral("路径"));
    txt_AppPath->setMinimumWidth(240);
    pathLabel->setBuddy(txt_AppPath);
    btn_SelectApplication = button(QStringLiteral("选择"), "btn_SelectApplication", this);

    Lbl_WrongPathWarning = new QLabel(QStringLiteral("文件路径有误，请修改..."), this);
    Lbl_WrongPathWarning->setObjectName(QStringLiteral("Lbl_WrongPathWarning"));
    Lbl_WrongPathWarning->setStyleSheet(QStringLiteral("color: #c0392b;"));
    Lbl_WrongPathWarning->setHidden(true);

    cmd_Add = button(QStringLiteral("添加"), "cmd_Add", this);
    cmd_Edit = button(QStringLiteral("编辑"), "cmd_Edit", this);
    cmd_Delete = button(QStringLiteral("删除"), "cmd_Delete", this);
    cmd_Save = button(QStringLiteral("保存"), "cmd_Save", this);
    cmd_Cancel = button(QStringLiteral("取消"), "cmd_Cancel", this);
    cmd_Close = button(QStringLiteral("关闭"), "cmd_Close", this);
    // The buttons that only editing shows keep their room, so the window keeps its size.
    for (QPushButton* b : {btn_SelectApplication, cmd_Save, cmd_Cancel}) {
        QSizePolicy policy = b->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        b->setSizePolicy(policy);
    }

    auto* form = new QGridLayout;
    form->addWidget(nameLabel, 0, 0);
    form->addWidget(txt_AppName, 0, 1, 1, 2);
    form->addWidget(pathLabel, 1, 0);
    form->addWidget(txt_AppPath, 1, 1);
    form->addWidget(btn_SelectApplication, 1, 2);
    form->addWidget(Lbl_WrongPathWarning, 2, 1, 1, 2);
    form->setRowStretch(3, 1);
    auto* edits = new QHBoxLayout;
    for (QPushButton* b : {cmd_Add, cmd_Edit, cmd_Delete})
        edits->addWidget(b);
    edits->addStretch();
    for (QPushButton* b : {cmd_Save, cmd_Cancel})
        edits->addWidget(b);
    form->addLayout(edits, 4, 0, 1, 3);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch();
    closeRow->addWidget(cmd_Close);
    form->addLayout(closeRow, 5, 0, 1, 3);

    auto* body = new QHBoxLayout;
    body->addWidget(lvw_CustomApp);
    body->addLayout(form, 1);

    auto* main = new QVBoxLayout(this);
    main->addWidget(heading);
    main->addWidget(line);
    main->addSpacing(6);
    main->addLayout(body, 1);

    // Tab follows the window's reading order.
    QWidget* order[] = {lvw_CustomApp, txt_AppName, txt_AppPath, btn_SelectApplication,
                        cmd_Add,       cmd_Edit,    cmd_Delete,  cmd_Save,
                        cmd_Cancel,    cmd_Close};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(lvw_CustomApp, &QListWidget::itemClicked, this, &frmSelectCustomFile::entryClicked);
    connect(lvw_CustomApp, &QListWidget::itemActivated, this, &frmSelectCustomFile::entryClicked);
    connect(lvw_CustomApp, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* current) {
        if (!mFilling && current)
            entryClicked(current);
    });
    connect(txt_AppName, &QLineEdit::textChanged, this, &frmSelectCustomFile::updateSaveEnabled);
    connect(txt_AppPath, &QLineEdit::textChanged, this, [this] {
        updateSaveEnabled();
        Lbl_WrongPathWarning->setHidden(true);
    });
    connect(cmd_Add, &QPushButton::clicked, this, &frmSelectCustomFile::onAdd);
    connect(cmd_Edit, &QPushButton::clicked, this, &frmSelectCustomFile::onEdit);
    connect(cmd_Delete, &QPushButton::clicked, this, &frmSelectCustomFile::onDelete);
    connect(cmd_Save, &QPushButton::clicked, this, &frmSelectCustomFile::onSave);
    connect(cmd_Cancel, &QPushButton::clicked, this, &frmSelectCustomFile::onCancel);
    connect(cmd_Close, &QPushButton::clicked, this, &QWidget::close);
    connect(btn_SelectApplication, &QPushButton::clicked, this, &frmSelectCustomFile::onSelectApplication);
}

void frmSelectCustomFile::fillList() {
    mFilling = true;
    lvw_CustomApp->clear();
    mEntries.clear();
    for (const XmlNode& app : mCustomsApp.selectNodes(QStringLiteral("capp"))) {
        auto* item = new QListWidgetItem(FileIcons::OfPath(app.getAttribute(QStringLiteral("apppath"))),
                                         app.getAttribute(QStringLiteral("appname")), lvw_CustomApp);
        item->setToolTip(app.getAttribute(QStringLiteral("apppath")));
        mEntries.push_back(app);
    }
    mFilling = false;
}

void frmSelectCustomFile::markFirstEntry() {
    if (lvw_CustomApp->count() == 0)
        return;
    // Marked, not clicked: the boxes stay as they are and "编辑"/"删除" still wait for a click.
    mFilling = true;
    lvw_CustomApp->setCurrentRow(0);
    mFilling = false;
}

void frmSelectCustomFile::entryClicked(QListWidgetItem* item) {
    if (!item || mMode != ViewMode)
        return;
    const int row = lvw_CustomApp->row(item);
    if (row < 0 || row >= int(mEntries.size()))
        return;
    lvw_CustomApp->setCurrentItem(item);
    mClicked = mEntries[size_t(row)];
    showEntry(mClicked);
}

void frmSelectCustomFile::showEntry(const XmlNode& element) {
    txt_AppName->setText(element.isNull() ? QString() : element.getAttribute(QStringLiteral("appname")));
    txt_AppPath->setText(element.isNull() ? QString() : element.getAttribute(QStringLiteral("apppath")));
}

void frmSelectCustomFile::setMode(Mode mode) {
    mMode = mode;
    const bool viewing = mode == ViewMode;
    txt_AppName->setReadOnly(viewing);
    txt_AppPath->setReadOnly(viewing);
    cmd_Save->setVisible(!viewing);
    cmd_Cancel->setVisible(!viewing);
    btn_SelectApplication->setVisible(!viewing);
    for (QWidget* w : {static_cast<QWidget*>(lvw_CustomApp), static_cast<QWidget*>(cmd_Add),
                       static_cast<QWidget*>(cmd_Edit), static_cast<QWidget*>(cmd_Delete),
                       static_cast<QWidget*>(cmd_Close)})
        w->setEnabled(viewing);
    if (viewing) {
        Lbl_WrongPathWarning->setHidden(true);
        lvw_CustomApp->setFocus();
    } else {
        txt_AppName->setFocus();
    }
}

void frmSelectCustomFile::updateSaveEnabled() {
    cmd_Save->setEnabled(!txt_AppName->text().trimmed().isEmpty() &&
                         !txt_AppPath->text().trimmed().isEmpty());
}

void frmSelectCustomFile::onAdd() {
    if (mMode != ViewMode)
        return;
    setMode(AddMode);
    txt_AppName->clear();
    txt_AppPath->clear();
}

void frmSelectCustomFile::onEdit() {
    // Without a clicked entry there is nothing to edit (and nothing to store the edit in).
    if (mMode != ViewMode || mClicked.isNull())
        return;
    setMode(EditMode);
    showEntry(mClicked);
}

void frmSelectCustomFile::onCancel() {
    if (mMode == ViewMode)
        return;
    setMode(ViewMode);
    showEntry(mClicked);
}

void frmSelectCustomFile::onSelectApplication() {
    clsFileDialog dialog;
    dialog.Title = QStringLiteral("选择要加入的软件");
    dialog.OwerHwnd = this;
    if (dialog.Show())
        txt_AppPath->setText(dialog.SelectedItems.value(0));
}

void frmSelectCustomFile::onSave() {
    if (mMode == ViewMode || !cmd_Save->isEnabled())
        return;
    const QString name = txt_AppName->text();
    const QString path = txt_AppPath->text();
    if (!QFileInfo(path).isFile()) {
        Lbl_WrongPathWarning->setHidden(false);
        txt_AppPath->setFocus();
        return;
    }
    if (mMode == EditMode) {
        mClicked.setAttribute(QStringLiteral("appname"), name);
        mClicked.setAttribute(QStringLiteral("apppath"), path);
    } else {
        XmlNode app = mCustomsApp.ownerDocument().createElement(QStringLiteral("capp"));
        app.setAttribute(QStringLiteral("appname"), name);
        app.setAttribute(QStringLiteral("apppath"), path);
        mClicked = mCustomsApp.appendChild(app);
    }
    saveUserData();
    fillList();
    setMode(ViewMode);
    // The saved entry stays the clicked one, so the boxes and "删除" keep to what was just saved.
    for (size_t row = 0; row < mEntries.size(); ++row) {
        if (mEntries[row] == mClicked) {
            mFilling = true;
            lvw_CustomApp->setCurrentRow(int(row));
            mFilling = false;
        }
    }
    showEntry(mClicked);
}

void frmSelectCustomFile::onDelete() {
    if (mMode != ViewMode || lvw_CustomApp->count() == 0 || mClicked.isNull())
        return;
    if (modMessagebox::ConfirmDeleteShortcut() != Answer::Yes)
        return;
    // Only the entry goes; the file it points to is never touched.
    XmlNode parent = mClicked.parentNode();
    if (!parent.isNull())
        parent.removeChild(mClicked);
    mClicked = XmlNode();
    saveUserData();
    fillList();
    markFirstEntry();
    showEntry(XmlNode());
}

void frmSelectCustomFile::saveUserData() {
    try {
        mUserData->Save();
    } catch (const QvError& e) {
        // The change stays in memory and goes out with the next save that succeeds.
        ShowPlainMessage(QStringLiteral("自定义软件没有保存到文件：%1").arg(e.description()));
    }
}

void frmSelectCustomFile::reject() {
    if (mMode != ViewMode)
        onCancel();
    else
        QDialog::reject();
}

void frmSelectCustomFile::closeEvent(QCloseEvent* event) {
    if (mMode != ViewMode)
        onCancel();
    QDialog::closeEvent(event);
}
