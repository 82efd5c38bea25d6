#include "units/UnitAbout.h"

#include "look/WindowLook.h"
#include "platform/ErrorReporter.h"
#include "platform/ShellOpen.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>

namespace {

const QString siteAddress = QStringLiteral("https://chronoteka.example.org");
const QString mailAddress = QStringLiteral("chronoteka@example.org");

QLabel* label(QWidget* parent, const QString& text, int left, int top)
{
    auto* created = new QLabel(text, parent);
    QFont bold = created->font();
    bold.setBold(true);
    created->setFont(bold);
    created->move(left, top);
    created->adjustSize();
    return created;
}

void makeLink(QLabel* link, const QString& hint)
{
    QFont underlined = link->font();
    underlined.setUnderline(true);
    link->setFont(underlined);
    QPalette colours = link->palette();
    colours.setColor(QPalette::WindowText, QColor(0, 0, 128));
    link->setPalette(colours);
    link->setCursor(Qt::PointingHandCursor);
    link->setToolTip(hint);
    link->adjustSize();
}

} // namespace

TFormabout::TFormabout(QWidget* parent) : FirstShowDialog(parent)
{
    setWindowTitle(QStringLiteral("О ПРОГРАММЕ"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(378, 203);
    WindowLook::paintMoneyGreen(*this);
}

void TFormabout::createControls()
{
    // Made first so that it lies under the labels it surrounds.
    Bevel1 = new QFrame(this);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(16, 24, 345, 81);

    Label1 = label(this, QStringLiteral("БАЗА ДАННЫХ \"ХРОНОТЕКА\""), 88, 8);
    Label2 = label(this, QStringLiteral("Сайт программы"), 40, 56);
    Label3 = label(this, siteAddress, 144, 56);
    makeLink(Label3, QStringLiteral("Открыть сайт программы"));
    Label6 = label(this, QStringLiteral("e-mail:"), 96, 72);
    Label8 = label(this, mailAddress, 144, 72);
    makeLink(Label8, QStringLiteral("Написать письмо"));

    Label3->installEventFilter(this);
    Label8->installEventFilter(this);
}

QUrl TFormabout::siteUrl()
{
    return QUrl(siteAddress);
}

QUrl TFormabout::mailUrl()
{
    return QUrl(QStringLiteral("mailto:") + mailAddress);
}

void TFormabout::Label3Click()
{
    ErrorReporter::guarded([] { ShellOpen::instance().openUrl(siteUrl()); });
}

void TFormabout::Label8Click()
{
    ErrorReporter::guarded([] { ShellOpen::instance().openUrl(mailUrl()); });
}

bool TFormabout::eventFilter(QObject* watched, QEvent* event)
{
    // A click is a release over the link after a press on it, as with any button.
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* release = static_cast<QMouseEvent*>(event);
        auto* link = qobject_cast<QLabel*>(watched);
        if (release->button() == Qt::LeftButton && link && link->rect().contains(release->position().toPoint())) {
            if (link == Label3)
                Label3Click();
            else if (link == Label8)
                Label8Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
