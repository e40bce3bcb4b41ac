#pragma once
#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

// The page-translation panel of a browser window's assistant menu: posts the address of the page
// shown when the panel was made to the translation service, from the chosen source language into
// the chosen target language, and opens the answer in a new browser window.
class frmWebpageTranslate : public QWidget {
    Q_OBJECT
public:
    explicit frmWebpageTranslate(QWidget* parent = nullptr);

    // The address to translate, set once by the browser window.
    QString LocationUrl;

    QLabel* Label1;
    QLabel* Label3;
    QComboBox* cbo_SourceLang;
    QLabel* Label2;
    QComboBox* cbo_TargetLang;
    QPushButton* cmd_StartPageTranslate;

    // The languages in list order: code and name.
    struct Language {
        const char* code;
        const char* name;
    };
    static const Language Languages[];
    static const int LanguageCount;

    // The translation service: scheme and host; requests go to its "/translate".
    static QString ServiceAddress();
    static void SetServiceAddress(const QString& address);
    // The fixed request descriptor, before the address and the languages are written into it.
    QString DescriptorText() const;

signals:
    // A translation request is about to open (the assistant menu closes on it).
    void RequestStarting();

protected:
    // Tab stays inside the panel until its last control, also when the panel sits in a menu.
    bool focusNextPrevChild(bool next) override;

private:
    void StartPageTranslate();
};
