#pragma once

#include <QDialog>
#include <QUrl>

class QFrame;
class QLabel;

// The About box: the program's name and two links, to its web site and its mail address.
class TFormabout : public QDialog
{
    Q_OBJECT

public:
    explicit TFormabout(QWidget* parent = nullptr);

    static QUrl siteUrl();
    static QUrl mailUrl();

    void setVisible(bool visible) override;

    void Label3Click();
    void Label8Click();

    QFrame* Bevel1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label6;
    QLabel* Label8;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

extern TFormabout* Formabout;
