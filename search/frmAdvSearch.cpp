#include "search/frmAdvSearch.h"

#include "core/QvError.h"
#include "platform/PlainMessage.h"
#include "search/clsSearch.h"
#include "search/clsSearchBaiduImage.h"
#include "search/clsSearchBaiduImageNews.h"
#include "search/clsSearchBaiduWeb.h"
#include "search/clsSearchGoogleWeb.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <utility>

namespace {

struct Entry {
    const char* caption;
    int code;
};

// The picture lists, in the order the service's choices are offered.
const Entry kImageSizes[] = {
    {"所有大小", 0},
    {"大图片", 3},
    {"中图片", 2},
    {"小图片", 1},
    {"壁纸800x600", 4},
    {"壁纸1024x768", 5},
    {"壁纸1280x960", 6},
    {"壁纸1600x1200", 8},
    {"壁纸宽屏", 19},
    {"壁纸1280x1024", 7},
    {"自定义大小", frmAdvSearch::CustomImageSize},
};
const Entry kImageColors[] = {
    {"所有颜色", 0}, {"黑色", 512}, {"白色", 1024}, {"红色", 1},  {"黄色", 2},   {"绿色", 4},    {"蓝色", 16},
    {"粉色", 64},    {"橙色", 256}, {"青色", 8},    {"紫色", 32}, {"棕色", 128}, {"黑白", 2048},
};
// The leading blanks of the format captions are the service's own.
const Entry kImageFormats[] = {
    {"所有格式", -1}, {" jpg", 3}, {" gif", 1}, {" bmp", 2}, {" png", 4},
};

const char* const kLocations[] = {"任何地方", "标题", "链接"};
const char* const kFileTypes[] = {"全部网页和文件",  "全部文件",      "PDF(.pdf)",     "Word文档(.doc)",
                                  "Excel表格(.xls)", "PPT模板(.ppt)", "RTF文档(.rtf)", "Flash动画(.swf)"};
const char* const kLanguages[] = {"全部", "简体中文", "繁体中文"};

QLineEdit* makeEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMinimumWidth(90);
    return edit;
}

// A label for a box: the box is its buddy and carries the label's text as its accessible name.
QLabel* makeLabel(QWidget* parent, const QString& text, QWidget* buddy, const char* name = nullptr) {
    auto* label = new QLabel(text, parent);
    if (name)
        label->setObjectName(QLatin1String(name));
    label->setBuddy(buddy);
    buddy->setAccessibleName(text);
    return label;
}

QComboBox* makeList(QWidget* parent, const char* name, const Entry* entries, std::size_t count) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    for (std::size_t i = 0; i < count; ++i)
        combo->addItem(QString::fromUtf8(entries[i].caption), entries[i].code);
    combo->setCurrentIndex(0);
    return combo;
}

// A titled group of exclusive radio buttons laid out in `columns` columns; the first is selected.
QGroupBox* makeChoices(QWidget* parent, const QString& title, const char* name, const char* const* captions,
                       int count, int columns, QList<QRadioButton*>& buttons) {
    auto* box = new QGroupBox(title, parent);
    // Title and choices without a frame: the pane is only a few lines high.
    box->setStyleSheet(QStringLiteral("QGroupBox { border: none; margin-top: 1.2em; padding: 0; }"
                                      "QGroupBox::title { subcontrol-origin: margin; left: 2px; top: 0; }"));
    auto* layout = new QGridLayout(box);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setHorizontalSpacing(8);
    layout->setVerticalSpacing(0);
    auto* group = new QButtonGroup(box);
    const int rows = (count + columns - 1) / columns;
    for (int i = 0; i < count; ++i) {
        auto* button = new QRadioButton(QString::fromUtf8(captions[i]), box);
        button->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i));
        group->addButton(button, i);
        layout->addWidget(button, i % rows, i / rows);
        buttons.append(button);
    }
    buttons.first()->setChecked(true);
    return box;
}

// The index of the first selected button, or -1.
int selectedIndex(const QList<QRadioButton*>& buttons) {
    for (int i = 0; i < buttons.size(); ++i) {
        if (buttons[i]->isChecked())
            return i;
    }
    return -1;
}

// The box's text as a 16-bit number when it is one; `value` stays as it is otherwise.
void readNumber(const QLineEdit* box, qint16& value) {
    bool ok = false;
    const short number = box->text().trimmed().toShort(&ok);
    if (ok)
        value = number;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(caption);
    button->setAutoDefault(false);
    return button;
}

// A tab page that scrolls when the pane is smaller than its controls.
QWidget* scrolling(QWidget* content) {
    auto* area = new QScrollArea;
    area->setWidget(content);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus);
    return area;
}

void reportFailure(const QvError& e) {
    ShowPlainMessage(QStringLiteral("搜索没有完成：%1").arg(e.description()), QStringLiteral("超级搜索"));
}

} // namespace

frmAdvSearch::frmAdvSearch(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmAdvSearch"));
    setWindowTitle(QStringLiteral("超级搜索"));
    setAccessibleName(QStringLiteral("超级搜索"));

    TabControl1 = new QTabWidget(this);
    TabControl1->setObjectName(QStringLiteral("TabControl1"));
    TabControl1->setDocumentMode(true);
    TabControl1->addTab(scrolling(buildWebPage()), QStringLiteral("网页"));
    TabControl1->addTab(scrolling(buildPicturePage()), QStringLiteral("图片"));
    // A third page without content.
    auto* empty = new QWidget;
    empty->setObjectName(QStringLiteral("tabEmpty"));
    empty->setAccessibleName(QStringLiteral("空白页"));
    TabControl1->addTab(empty, QString());
    TabControl1->tabBar()->setAccessibleTabName(2, empty->accessibleName());

    // The tab control fills the pane, one unit in from every side.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(TabControl1);
    setFocusProxy(TabControl1);
}

QWidget* frmAdvSearch::buildWebPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tabWeb"));

    txt_WebKeywordAll = makeEdit(page, "txt_WebKeywordAll");
    txt_WebKeywordFull = makeEdit(page, "txt_WebKeywordFull");
    txt_WebKeywordAny = makeEdit(page, "txt_WebKeywordAny");
    txt_WebKeywordExclude = makeEdit(page, "txt_WebKeywordExclude");
    txt_webinSite = makeEdit(page, "txt_webinSite");

    auto* words = new QGridLayout;
    words->setContentsMargins(0, 0, 0, 0);
    words->setVerticalSpacing(2);
    words->addWidget(makeLabel(page, QStringLiteral("全部关键词"), txt_WebKeywordAll), 0, 0);
    words->addWidget(txt_WebKeywordAll, 0, 1);
    words->addWidget(makeLabel(page, QStringLiteral("完整关键词"), txt_WebKeywordFull), 0, 2);
    words->addWidget(txt_WebKeywordFull, 0, 3);
    words->addWidget(makeLabel(page, QStringLiteral("任何关键词"), txt_WebKeywordAny), 1, 0);
    words->addWidget(txt_WebKeywordAny, 1, 1);
    words->addWidget(makeLabel(page, QStringLiteral("不搜索"), txt_WebKeywordExclude), 1, 2);
    words->addWidget(txt_WebKeywordExclude, 1, 3);
    lbl_WebInSite = makeLabel(page, QStringLiteral("站点"), txt_webinSite, "lbl_WebInSite");
    words->addWidget(lbl_WebInSite, 2, 0);
    words->addWidget(txt_webinSite, 2, 1);

    cmd_webSearchBaidu = makeButton(page, "cmd_webSearchBaidu", QStringLiteral("百度搜索"));
    cmd_webSearchGoogle = makeButton(page, "cmd_webSearchGoogle", QStringLiteral("Google搜索"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmd_webSearchBaidu);
    buttons->addWidget(cmd_webSearchGoogle);
    words->addLayout(buttons, 2, 2, 1, 2);
    words->setRowStretch(3, 1);

    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->addLayout(words, 3);
    layout->addWidget(makeChoices(page, QStringLiteral("关键字位置"), "rbn_webKWLocation", kLocations, 3, 1,
                                  rbn_webKWLocation));
    layout->addWidget(
        makeChoices(page, QStringLiteral("文件类型"), "rbn_webFileType", kFileTypes, 8, 3, rbn_webFileType));
    layout->addWidget(
        makeChoices(page, QStringLiteral("语言"), "rbn_webLanguage", kLanguages, 3, 1, rbn_webLanguage));

    connect(cmd_webSearchBaidu, &QPushButton::clicked, this, [this] { webSearch(0); });
    connect(cmd_webSearchGoogle, &QPushButton::clicked, this, [this] { webSearch(1); });
    return page;
}

QWidget* frmAdvSearch::buildPicturePage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tabImage"));

    txt_ImageKeywordAll = makeEdit(page, "txt_ImageKeywordAll");
    txt_ImageKeywordFull = makeEdit(page, "txt_ImageKeywordFull");
    txt_ImageKeywordAny = makeEdit(page, "txt_ImageKeywordAny");
    txt_ImageKeywordExclude = makeEdit(page, "txt_ImageKeywordExclude");
    txt_imageInSite = makeEdit(page, "txt_imageInSite");

    auto* words = new QGridLayout;
    words->setContentsMargins(0, 0, 0, 0);
    words->setVerticalSpacing(2);
    words->addWidget(makeLabel(page, QStringLiteral("全部关键词"), txt_ImageKeywordAll), 0, 0);
    words->addWidget(txt_ImageKeywordAll, 0, 1);
    lbl_ImageKeywordFull =
        makeLabel(page, QStringLiteral("完整关键词"), txt_ImageKeywordFull, "lbl_ImageKeywordFull");
    words->addWidget(lbl_ImageKeywordFull, 0, 2);
    words->addWidget(txt_ImageKeywordFull, 0, 3);
    lbl_ImageKeywordAny =
        makeLabel(page, QStringLiteral("任何关键词"), txt_ImageKeywordAny, "lbl_ImageKeywordAny");
    words->addWidget(lbl_ImageKeywordAny, 1, 0);
    words->addWidget(txt_ImageKeywordAny, 1, 1);
    lbl_ImageKeywordExclude =
        makeLabel(page, QStringLiteral("不搜索"), txt_ImageKeywordExclude, "lbl_ImageKeywordExclude");
    words->addWidget(lbl_ImageKeywordExclude, 1, 2);
    words->addWidget(txt_ImageKeywordExclude, 1, 3);
    words->addWidget(makeLabel(page, QStringLiteral("站点"), txt_imageInSite), 2, 0);
    words->addWidget(txt_imageInSite, 2, 1);

    cbo_imageFileSize = makeList(page, "cbo_imageFileSize", kImageSizes, std::size(kImageSizes));
    txt_imageFileSizeHigh = makeEdit(page, "txt_imageFileSizeHigh");
    txt_imageFileSizeLow = makeEdit(page, "txt_imageFileSizeLow");
    for (QLineEdit* box : {txt_imageFileSizeHigh, txt_imageFileSizeLow})
        box->setMinimumWidth(40);
    txt_imageFileSizeHigh->setMaximumWidth(56);
    txt_imageFileSizeLow->setMaximumWidth(56);
    txt_imageFileSizeHigh->setAccessibleName(QStringLiteral("自定义宽度"));
    txt_imageFileSizeLow->setAccessibleName(QStringLiteral("自定义高度"));
    lbl_ImageSizeX = new QLabel(QStringLiteral("x"), page);
    lbl_ImageSizeX->setObjectName(QStringLiteral("lbl_ImageSizeX"));
    cbo_imageTargetColor = makeList(page, "cbo_imageTargetColor", kImageColors, std::size(kImageColors));
    cbo_imageFileType = makeList(page, "cbo_imageFileType", kImageFormats, std::size(kImageFormats));

    auto* lists = new QGridLayout;
    lists->setContentsMargins(0, 0, 0, 0);
    lists->setVerticalSpacing(2);
    lists->addWidget(makeLabel(page, QStringLiteral("尺寸"), cbo_imageFileSize), 0, 0);
    auto* size = new QHBoxLayout;
    size->setSpacing(2);
    size->addWidget(cbo_imageFileSize);
    size->addWidget(txt_imageFileSizeHigh);
    size->addWidget(lbl_ImageSizeX);
    size->addWidget(txt_imageFileSizeLow);
    size->addStretch(1);
    lists->addLayout(size, 0, 1);
    lists->addWidget(makeLabel(page, QStringLiteral("颜色"), cbo_imageTargetColor), 1, 0);
    lists->addWidget(cbo_imageTargetColor, 1, 1, Qt::AlignLeft);
    lists->addWidget(makeLabel(page, QStringLiteral("格式"), cbo_imageFileType), 2, 0);
    lists->addWidget(cbo_imageFileType, 2, 1, Qt::AlignLeft);
    lists->setRowStretch(3, 1);

    const char* const targetTypes[] = {"任何图片", "新闻图片"};
    const char* const engineTypes[] = {"百度图片", "google图片"};
    QGroupBox* targets = makeChoices(page, QStringLiteral("种类"), "rtn_ImageTargetType", targetTypes, 2, 1,
                                     rtn_ImageTargetType);
    QGroupBox* engines = makeChoices(page, QStringLiteral("在哪儿搜索"), "rbn_imageEngineType", engineTypes,
                                     2, 1, rbn_imageEngineType);
    cmd_imageSearch = makeButton(page, "cmd_imageSearch", QStringLiteral("搜索"));

    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->addLayout(words, 3);
    layout->addLayout(lists);
    layout->addWidget(targets, 0, Qt::AlignTop);
    layout->addWidget(engines, 0, Qt::AlignTop);
    layout->addStretch(1);
    auto* action = new QVBoxLayout;
    action->addStretch(1);
    action->addWidget(cmd_imageSearch);
    layout->addLayout(action);

    connect(cbo_imageFileSize, &QComboBox::currentIndexChanged, this, &frmAdvSearch::onImageSizeChanged);
    for (int i = 0; i < rbn_imageEngineType.size(); ++i) {
        connect(rbn_imageEngineType[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                onImageEngineChosen(i);
        });
    }
    connect(cmd_imageSearch, &QPushButton::clicked, this, &frmAdvSearch::imageSearch);
    onImageSizeChanged();
    onImageEngineChosen(selectedIndex(rbn_imageEngineType));
    return page;
}

void frmAdvSearch::webSearch(int engine) {
    clsSearch search;
    modSearchQuery::WebKeywords* keywords =
        engine == 0 ? static_cast<modSearchQuery::WebKeywords*>(search.BaiduWeb())
                    : static_cast<modSearchQuery::WebKeywords*>(search.GoogleWeb());
    keywords->KeywordAll = txt_WebKeywordAll->text();
    keywords->KeywordAny = txt_WebKeywordAny->text();
    keywords->KeywordFull = txt_WebKeywordFull->text();
    keywords->KeywordExclude = txt_WebKeywordExclude->text();
    keywords->inSite = txt_webinSite->text();
    // A choice without a selected button leaves the engine's own value.
    if (const int location = selectedIndex(rbn_webKWLocation); location >= 0)
        keywords->KeywordLocation = location;
    if (const int type = selectedIndex(rbn_webFileType); type >= 0)
        keywords->FileType = type;
    try {
        if (engine == 0)
            search.BaiduWeb()->Submit();
        else
            search.GoogleWeb()->Submit();
    } catch (const QvError& e) {
        reportFailure(e);
    }
}

void frmAdvSearch::imageSearch() {
    clsSearch search;
    try {
        switch (selectedIndex(rtn_ImageTargetType)) {
        case 0: {
            clsSearchBaiduImage* image = search.BaiduImage();
            image->KeywordAll = txt_ImageKeywordAll->text();
            image->ImageSize = qint16(cbo_imageFileSize->currentData().toInt());
            image->ImageExt = qint16(cbo_imageFileType->currentData().toInt());
            readNumber(txt_imageFileSizeHigh, image->ImageSizeHigh);
            readNumber(txt_imageFileSizeLow, image->ImageSizeLow);
            image->ImageColor = qint16(cbo_imageTargetColor->currentData().toInt());
            image->inSite = txt_imageInSite->text();
            image->Submit();
            break;
        }
        case 1: {
            // News pictures know no size, colour or format.
            clsSearchBaiduImageNews* news = search.BaiduImageNews();
            news->KeywordAll = txt_ImageKeywordAll->text();
            news->inSite = txt_imageInSite->text();
            news->Submit();
            break;
        }
        default:
            break;
        }
    } catch (const QvError& e) {
        reportFailure(e);
    }
}

void frmAdvSearch::onImageSizeChanged() {
    const bool custom = cbo_imageFileSize->currentData().toInt() == CustomImageSize;
    for (QWidget* widget :
         {static_cast<QWidget*>(txt_imageFileSizeHigh), static_cast<QWidget*>(lbl_ImageSizeX),
          static_cast<QWidget*>(txt_imageFileSizeLow)})
        widget->setVisible(custom);
}

void frmAdvSearch::onImageEngineChosen(int index) {
    if (index != 0 && index != 1)
        return;
    const bool google = index == 1;
    for (QWidget* widget :
         {static_cast<QWidget*>(txt_ImageKeywordAny), static_cast<QWidget*>(txt_ImageKeywordFull),
          static_cast<QWidget*>(txt_ImageKeywordExclude), static_cast<QWidget*>(lbl_ImageKeywordAny),
          static_cast<QWidget*>(lbl_ImageKeywordFull), static_cast<QWidget*>(lbl_ImageKeywordExclude)})
        widget->setEnabled(google);
}
