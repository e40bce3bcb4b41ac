#pragma once
#include <QColor>
#include <QFrame>
#include <QRect>

class QLabel;

// The suite's popup control as the trees use it for their tool tips: a small frameless window
// that never takes the focus, with a background item (colour and border) and one text item at
// given rectangles. Show it at a point of the screen; it stays until closed.
class PopupTip : public QFrame {
    Q_OBJECT
public:
    explicit PopupTip(QWidget* parent = nullptr);

    // The background item: the popup's size is the rectangle's size.
    void SetBackground(const QRect& rect, const QColor& background, const QColor& border);
    // The text item, with its font size in points.
    void SetTextItem(const QRect& rect, int pointSize);
    void SetText(const QString& text);
    QString Text() const;

    void ShowAt(const QPoint& globalPos);
    void Close() { hide(); }
    bool IsShown() const { return isVisible(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* mText = nullptr;
    QColor mBackground = QColor(255, 255, 225);
    QColor mBorder = QColor(0, 0, 0);
};
