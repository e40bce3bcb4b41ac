#pragma once
#include <QString>
#include <stdexcept>

// A failure raised to the caller, with the error number and description that callers
// report ("Error " + number + " (" + description + ") in ...").
class QvError : public std::runtime_error {
public:
    QvError(int number, const QString& description)
        : std::runtime_error(description.toStdString()), mNumber(number), mDescription(description) {}
    int number() const { return mNumber; }
    QString description() const { return mDescription; }

private:
    int mNumber;
    QString mDescription;
};

// Error numbers used by the program's own failures.
namespace QvErrors {
constexpr int General = 1;
constexpr int FileNotFound = 53;
constexpr int PathAccess = 75;
constexpr int TypeMismatch = 13;
constexpr int ObjectMissing = 91; // "Object variable not set": a node that was not found
constexpr int InvalidArgument = 5;
} // namespace QvErrors
