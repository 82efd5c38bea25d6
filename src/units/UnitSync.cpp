#include "units/UnitSync.h"

#include "platform/MessageBoxes.h"
#include "sync/CalDavClient.h"

#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

#include <mutex>
#include <utility>
#include <vector>

namespace {

constexpr int calendarRole = Qt::UserRole;

const QString caption = QStringLiteral("Синхронизация");

// The certificate is trusted for the server it was trusted on: the scheme, the host and the port.
bool sameServer(const QUrl& a, const QUrl& b)
{
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && a.port() == b.port();
}

} // namespace

// What the check's thread and the window share: the client, for the window to cancel its call, and the answer.
struct TFormSync::Check
{
    std::mutex mutex;
    CalDavClient* client = nullptr;
    bool cancelled = false;
    std::vector<CalDavClient::Calendar> calendars;
    QString error;
    // The certificate refused, when that was the error.
    QSslCertificate certificate;

    void cancel()
    {
        const std::lock_guard lock(mutex);
        cancelled = true;
        if (client)
            client->cancel();
    }
};

TFormSync::TFormSync(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormSync"));
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    EdUrl = new QLineEdit(this);
    EdUrl->setObjectName(QStringLiteral("EdUrl"));
    EdUrl->setMinimumWidth(360);
    EdUrl->setToolTip(QStringLiteral("Адрес календаря или сервера CalDAV; пустой адрес выключает синхронизацию"));
    form->addRow(QStringLiteral("Адрес сервера:"), EdUrl);
    EdUser = new QLineEdit(this);
    EdUser->setObjectName(QStringLiteral("EdUser"));
    form->addRow(QStringLiteral("Пользователь:"), EdUser);
    EdPassword = new QLineEdit(this);
    EdPassword->setObjectName(QStringLiteral("EdPassword"));
    EdPassword->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Пароль:"), EdPassword);

    BtnCheck = new QPushButton(QStringLiteral("Проверить"), this);
    BtnCheck->setObjectName(QStringLiteral("BtnCheck"));
    BtnCheck->setAutoDefault(false);
    form->addRow(QString(), BtnCheck);
    LabelState = new QLabel(this);
    LabelState->setObjectName(QStringLiteral("LabelState"));
    LabelState->setWordWrap(true);
    LabelState->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(QString(), LabelState);
    BtnTrust = new QPushButton(QStringLiteral("Доверять этому сертификату"), this);
    BtnTrust->setObjectName(QStringLiteral("BtnTrust"));
    BtnTrust->setAutoDefault(false);
    BtnTrust->setToolTip(QStringLiteral("Только если отпечаток совпадает с отпечатком сертификата вашего сервера"));
    BtnTrust->hide();
    form->addRow(QString(), BtnTrust);

    ListCalendars = new QListWidget(this);
    ListCalendars->setObjectName(QStringLiteral("ListCalendars"));
    ListCalendars->setMaximumHeight(120);
    form->addRow(QStringLiteral("Календарь:"), ListCalendars);

    EdMinutes = new QSpinBox(this);
    EdMinutes->setObjectName(QStringLiteral("EdMinutes"));
    EdMinutes->setRange(0, SyncAccount::maxMinutes);
    EdMinutes->setSuffix(QStringLiteral(" мин."));
    EdMinutes->setSpecialValueText(QStringLiteral("только вручную"));
    form->addRow(QStringLiteral("Синхронизировать каждые:"), EdMinutes);

    auto* buttons = new QDialogButtonBox(this);
    BtnOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    BtnCancel = buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);

    connect(BtnCheck, &QPushButton::clicked, this, &TFormSync::BtnCheckClick);
    connect(BtnTrust, &QPushButton::clicked, this, &TFormSync::BtnTrustClick);
    connect(BtnOK, &QPushButton::clicked, this, &TFormSync::BtnOKClick);
    connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(EdUrl, &QLineEdit::textEdited, this, &TFormSync::accountEdited);
    connect(EdUser, &QLineEdit::textEdited, this, &TFormSync::accountEdited);
}

TFormSync::~TFormSync()
{
    stopCheck();
}

void TFormSync::setAccount(const SyncAccount& account, const QString& password)
{
    EdUrl->setText(account.url.toString());
    EdUser->setText(account.user);
    EdPassword->setText(password);
    EdMinutes->setValue(account.minutes);
    m_trusted = account.trustedCertificate;
    m_trustedOn = account.url;
    ListCalendars->clear();
    LabelState->clear();
    BtnTrust->hide();
    if (!account.calendar.isEmpty()) {
        auto* item = new QListWidgetItem(account.calendar.toString(), ListCalendars);
        item->setData(calendarRole, account.calendar);
        ListCalendars->setCurrentItem(item);
    }
}

SyncAccount TFormSync::account() const
{
    SyncAccount account;
    account.url = SyncAccount::urlFromText(EdUrl->text());
    account.user = EdUser->text().trimmed();
    if (const QListWidgetItem* item = ListCalendars->currentItem(); item && !account.url.isEmpty())
        account.calendar = item->data(calendarRole).toUrl();
    account.minutes = EdMinutes->value();
    if (!account.url.isEmpty() && sameServer(account.url, m_trustedOn))
        account.trustedCertificate = m_trusted;
    return account;
}

QString TFormSync::password() const
{
    return EdPassword->text();
}

QString TFormSync::fingerprintText(const QByteArray& digest)
{
    return QStringLiteral("SHA-256: ") + QString::fromLatin1(digest.toHex(':').toUpper());
}

void TFormSync::accountEdited()
{
    ListCalendars->clear();
    LabelState->clear();
    BtnTrust->hide();
}

void TFormSync::BtnTrustClick()
{
    m_trusted = m_refused;
    m_trustedOn = account().url;
    BtnCheckClick();
}

void TFormSync::BtnCheckClick()
{
    if (checking())
        return;
    const SyncAccount typed = account();
    if (typed.url.isEmpty()) {
        LabelState->setText(QStringLiteral("Введите адрес сервера."));
        return;
    }
    CalDavClient::Account server{typed.url, typed.user, password(), {}, typed.trustedCertificate};
    auto check = std::make_shared<Check>();
    m_check = check;
    m_thread = QThread::create([check, server = std::move(server)] {
        try {
            CalDavClient client(server);
            {
                const std::lock_guard lock(check->mutex);
                if (check->cancelled)
                    return;
                check->client = &client;
            }
            try {
                check->calendars = client.calendars();
            } catch (const CalDavClient::Failure& failure) {
                check->error = failure.text();
                check->certificate = failure.certificate();
            } catch (const std::exception& error) {
                check->error = QString::fromUtf8(error.what());
            }
            const std::lock_guard lock(check->mutex);
            check->client = nullptr;
        } catch (const std::exception& error) {
            check->error = QString::fromUtf8(error.what());
        }
    });
    // A check stopped meanwhile has had its thread waited for and deleted: its word is not for the dialog.
    connect(m_thread, &QThread::finished, this, [this, check] {
        if (check == m_check)
            checkFinished();
    });
    BtnCheck->setEnabled(false);
    BtnTrust->hide();
    ListCalendars->clear();
    LabelState->setText(QStringLiteral("Проверка…"));
    m_thread->start();
}

void TFormSync::checkFinished()
{
    // The thread is over: what it wrote into the check is seen here whole.
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    BtnCheck->setEnabled(true);
    const std::shared_ptr<Check> check = std::exchange(m_check, nullptr);
    if (!check->certificate.isNull()) {
        m_refused = check->certificate.digest(QCryptographicHash::Sha256);
        LabelState->setText(check->error + u'\n' + fingerprintText(m_refused));
        BtnTrust->show();
    } else if (!check->error.isEmpty()) {
        LabelState->setText(check->error);
    } else if (check->calendars.empty()) {
        LabelState->setText(QStringLiteral("У пользователя нет календарей."));
    } else {
        for (const CalDavClient::Calendar& calendar : check->calendars) {
            auto* item = new QListWidgetItem(calendar.name, ListCalendars);
            item->setData(calendarRole, calendar.url);
            item->setToolTip(calendar.url.toString());
        }
        ListCalendars->setCurrentRow(0);
        LabelState->setText(QStringLiteral("Календарей найдено: %1. Выберите, с каким синхронизировать дневник.")
                                .arg(check->calendars.size()));
    }
    emit checked();
}

void TFormSync::stopCheck()
{
    if (!m_thread)
        return;
    m_check->cancel();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_check.reset();
    BtnCheck->setEnabled(true);
}

void TFormSync::BtnOKClick()
{
    const SyncAccount chosen = account();
    if (!chosen.url.isEmpty() && chosen.calendar.isEmpty()) {
        MessageBoxes::tell(this, caption,
                           QStringLiteral("Выберите календарь: кнопка «Проверить» покажет календари пользователя."),
                           MessageBoxes::Icon::Information);
        return;
    }
    accept();
}

void TFormSync::done(int result)
{
    stopCheck();
    QDialog::done(result);
}
