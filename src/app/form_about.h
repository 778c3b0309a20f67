#pragma once
// The about box: the product's picture, its website, the support mail address and the version.

#include <QDialog>
#include <QLabel>

// A blue underlined label that opens its address (its caption when the address is empty) with
// the user's default program.
class TUrlLabel : public QLabel {
    Q_OBJECT
public:
    TUrlLabel(const QString& caption, const QString& url, QWidget* parent);
    QString url() const { return FUrl; }
    void setUrl(const QString& url) { FUrl = url; }
    bool visited() const { return FVisited; }
    // The address a click opens.
    QString target() const { return FUrl.isEmpty() ? text() : FUrl; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString FUrl;
    bool FVisited = false;
};

class TFormAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* parent = nullptr);

    QLabel* LabelWebsite = nullptr;
    TUrlLabel* RzURLLabelWebsite = nullptr;
    TUrlLabel* RzURLLabelMaker = nullptr;
    QLabel* LabelEmail = nullptr;
    TUrlLabel* RzURLLabelEmail = nullptr;
    QLabel* LabelVersion = nullptr;
    QLabel* LabelNotice = nullptr;
    QPushButton* ButtonOK = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
};
