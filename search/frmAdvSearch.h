#pragma once
#include <QList>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

// The advanced search pane "超级搜索": a web tab with the query options of the Baidu and Google
// web engines and a picture tab for the picture and news-picture searches. It only collects
// input; every search goes through a fresh clsSearch.
class frmAdvSearch : public QWidget {
    Q_OBJECT
public:
    explicit frmAdvSearch(QWidget* parent = nullptr);

    QTabWidget* TabControl1;

    // Web tab.
    QLineEdit* txt_WebKeywordAll;
    QLineEdit* txt_WebKeywordFull;
    QLineEdit* txt_WebKeywordAny;
    QLineEdit* txt_WebKeywordExclude;
    QLineEdit* txt_webinSite;
    QLabel* lbl_WebInSite;
    QList<QRadioButton*> rbn_webKWLocation; // 0 anywhere, 1 title, 2 address
    QList<QRadioButton*> rbn_webFileType;   // the document type codes 0-7
    QList<QRadioButton*> rbn_webLanguage;   // not read by any search
    QPushButton* cmd_webSearchBaidu;
    QPushButton* cmd_webSearchGoogle;

    // Picture tab.
    QLineEdit* txt_ImageKeywordAll;
    QLineEdit* txt_ImageKeywordFull;
    QLineEdit* txt_ImageKeywordAny;
    QLineEdit* txt_ImageKeywordExclude;
    QLabel* lbl_ImageKeywordFull;
    QLabel* lbl_ImageKeywordAny;
    QLabel* lbl_ImageKeywordExclude;
    QComboBox* cbo_imageFileSize;
    QLineEdit* txt_imageFileSizeHigh;
    QLabel* lbl_ImageSizeX;
    QLineEdit* txt_imageFileSizeLow;
    QComboBox* cbo_imageTargetColor;
    QComboBox* cbo_imageFileType;
    QLineEdit* txt_imageInSite;
    QList<QRadioButton*> rtn_ImageTargetType; // 0 any picture, 1 news pictures
    QList<QRadioButton*> rbn_imageEngineType; // 0 Baidu, 1 Google (enables three boxes only)
    QPushButton* cmd_imageSearch;

    // The code of the custom size entry of the size list.
    static constexpr int CustomImageSize = -1;

private:
    QWidget* buildWebPage();
    QWidget* buildPicturePage();
    // Web search with the Baidu (0) or the Google (1) engine object.
    void webSearch(int engine);
    void imageSearch();
    void onImageSizeChanged();
    void onImageEngineChosen(int index);
};
