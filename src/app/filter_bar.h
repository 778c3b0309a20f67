#pragma once
// The filter bar above the page: a search field with the theme's find icon, a clear button and an
// example query as its placeholder, and a button that closes the bar. Esc clears and closes it.

#include <QWidget>

class QLineEdit;
class QToolButton;

class TFilterBar : public QWidget {
    Q_OBJECT
public:
    explicit TFilterBar(QWidget* parent = nullptr);

    // Shows that the text cannot be read: a red frame, and `reason` as the field's tooltip. An
    // empty reason takes both away again.
    void SetError(const QString& reason);
    const QString& Error() const { return FError; }

    QLineEdit* FilterEdit = nullptr;
    QToolButton* CloseButton = nullptr;

signals:
    // Esc in the bar or its close button.
    void closeRequested();
    // Return in the field: the person is done typing and goes back to the page.
    void returnPressed();

private:
    QString FError;
};
