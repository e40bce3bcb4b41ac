#pragma once
#include <QWidget>

class QLineEdit;
class QPushButton;

// The quick search pane "搜索": one text box and a button per service. Enter in the box searches
// with Baidu; "超级搜索.." asks for the advanced pane and hides this one.
class frmSearch : public QWidget {
    Q_OBJECT
public:
    explicit frmSearch(QWidget* parent = nullptr);

    QLineEdit* txt_Content;
    QPushButton* cmd_bdSearch;
    QPushButton* cmd_ggSearch;
    QPushButton* cmd_SearchTaobao;
    QPushButton* btn_AdvSearch;

signals:
    // "超级搜索.." was pressed: the main window shows the advanced search pane.
    void showAdvSearchPane();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // A web search of the text with engine 0 (Baidu), 1 (Google) or 2 (Taobao).
    void search(int engineType);
    void openAdvancedSearch();
};
