#include "search/frmSearch.h"

#include "controls/DockingPanes.h"
#include "controls/IconStore.h"
#include "core/QvError.h"
#include "core/QvIds.h"
#include "core/modInitial.h"
#include "platform/PlainMessage.h"
#include "search/clsSearch.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int iconNumber) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(caption);
    button->setAutoDefault(false);
    if (iconNumber > 0 && modInitial::gIconStore) {
        button->setIcon(modInitial::gIconStore->icon(iconNumber));
        button->setIconSize(QSize(16, 16));
    }
    return button;
}

} // namespace

frmSearch::frmSearch(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(QStringLiteral("搜索"));
    setAccessibleName(QStringLiteral("搜索"));

    txt_Content = new QLineEdit(this);
    txt_Content->setObjectName(QStringLiteral("txt_Content"));
    txt_Content->setAccessibleName(QStringLiteral("搜索内容"));
    txt_Content->setClearButtonEnabled(true);
    txt_Content->setMinimumWidth(160);
    cmd_bdSearch = makeButton(this, "cmd_bdSearch", QStringLiteral("百度"), SearchIcon::Baidu);
    cmd_ggSearch = makeButton(this, "cmd_ggSearch", QStringLiteral("Google"), SearchIcon::Google);
    cmd_SearchTaobao = makeButton(this, "cmd_SearchTaobao", QStringLiteral("淘宝"), SearchIcon::Taobao);
    btn_AdvSearch = makeButton(this, "btn_AdvSearch", QStringLiteral("超级搜索.."), 0);
    btn_AdvSearch->setAccessibleName(QStringLiteral("超级搜索"));

    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    row->addWidget(txt_Content, 1);
    row->addWidget(cmd_bdSearch);
    row->addWidget(cmd_ggSearch);
    row->addWidget(cmd_SearchTaobao);
    row->addWidget(btn_AdvSearch);
    // One row at the top, however tall the pane is made.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(row);
    layout->addStretch(1);
    setFocusProxy(txt_Content);

    connect(txt_Content, &QLineEdit::returnPressed, this, [this] { search(0); });
    connect(cmd_bdSearch, &QPushButton::clicked, this, [this] { search(0); });
    connect(cmd_ggSearch, &QPushButton::clicked, this, [this] { search(1); });
    connect(cmd_SearchTaobao, &QPushButton::clicked, this, [this] { search(2); });
    connect(btn_AdvSearch, &QPushButton::clicked, this, &frmSearch::openAdvancedSearch);
}

void frmSearch::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The pane is shown to be typed into.
    txt_Content->setFocus(Qt::OtherFocusReason);
}

void frmSearch::search(int engineType) {
    clsSearch query;
    query.EngineType = engineType;
    query.TargetType = 0;
    if (engineType == 2)
        query.Content = txt_Content->text();
    else
        query.KeywordAll = txt_Content->text();
    try {
        query.Submit();
    } catch (const QvError& e) {
        ShowPlainMessage(QStringLiteral("搜索没有完成：%1").arg(e.description()), QStringLiteral("搜索"));
    }
}

void frmSearch::openAdvancedSearch() {
    emit showAdvSearchPane();
    // This pane goes away in favour of the advanced one.
    if (DockingPane* pane =
            modInitial::gDockingPanes ? modInitial::gDockingPanes->FindPane(PaneId::Search) : nullptr)
        pane->Hide();
}
