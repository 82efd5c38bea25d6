#pragma once

#include "units/FirstShowDialog.h"

#include <QUrl>

class QFrame;
class QLabel;

// The About box: the program's name and two links, to its web site and its mail address.
class TFormabout : public FirstShowDialog
{
    Q_OBJECT

public:
    explicit TFormabout(QWidget* parent = nullptr);

    static QUrl siteUrl();
    static QUrl mailUrl();

    void Label3Click();
    void Label8Click();

    // The controls, made at the first show.
    QFrame* Bevel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label8 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls() override;
};
