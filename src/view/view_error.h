#pragma once
// Errors raised while building a page or reading a link; the message is what the user sees.

#include <QString>
#include <stdexcept>

class ViewError : public std::runtime_error {
public:
    explicit ViewError(const QString& message)
        : std::runtime_error(message.toStdString()), FMessage(message)
    {
    }
    const QString& message() const { return FMessage; }

private:
    QString FMessage;
};
