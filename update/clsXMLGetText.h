#pragma once
#include <QObject>
#include <QString>

// Fetches a text asynchronously: OpenURL sends a GET and Completed carries the response text
// once the request has ended, whatever its HTTP status (an error page counts) and also when the
// request failed (then the text is what arrived, often nothing). There is no failure event;
// callers judge the content.
//
// Each OpenURL is a request of its own that completes once. The fetcher owns its pending
// requests: destroying it drops them and their replies are never reported.
class clsXMLGetText : public QObject {
    Q_OBJECT
public:
    explicit clsXMLGetText(QObject* parent = nullptr);

    void OpenURL(const QString& url);

    // Replies larger than this end the request (completed with an empty text): nothing the
    // program fetches as text comes near it.
    static constexpr qint64 LargestText = 8 * 1024 * 1024;
    // A request that receives nothing for this long ends (completed with what arrived).
    static void SetTimeout(int milliseconds);

signals:
    void Completed(const QString& ReturnValue);
};
