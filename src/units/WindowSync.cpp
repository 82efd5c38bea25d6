#include "units/WindowSync.h"

#include "databind/RecordSet.h"
#include "diary/UnitDM.h"
#include "engine/ServerWait.h"
#include "platform/BootClockTimer.h"
#include "platform/ErrorReporter.h"
#include "platform/MessageBoxes.h"
#include "settings/ProgramSettings.h"
#include "settings/SyncAccount.h"
#include "units/UnitMain.h"
#include "units/UnitSync.h"

#include <QAction>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QToolButton>

namespace {

const QString caption = QStringLiteral("Синхронизация");

// The keyring keeps the password under the server's address and the user.
QString serverOf(const SyncAccount& account)
{
    return account.url.toString(QUrl::RemoveUserInfo);
}

std::optional<QString> askInDialog(QWidget* parent, const QString& user)
{
    bool given = false;
    const QString password =
        QInputDialog::getText(parent, caption, QStringLiteral("Пароль пользователя %1 на сервере календаря:").arg(user),
                              QLineEdit::Password, QString(), &given);
    if (!given)
        return std::nullopt;
    return password;
}

} // namespace

WindowSync::WindowSync(TFormMain& window, TDataModule1& dataModule, ProgramSettings& settings, SecretStore& secrets,
                       const SuspendClocks& clocks, QObject* parent)
    : QObject(parent), askPassword(askInDialog), m_window(window), m_dataModule(dataModule), m_settings(settings),
      m_passwords(secrets), m_syncTimer(std::make_unique<BootClockTimer>(nullptr, clocks))
{
    auto* status = new QWidget(window.menuBar());
    auto* layout = new QHBoxLayout(status);
    layout->setContentsMargins(4, 0, 4, 0);
    LabelSync = new QLabel(status);
    LabelSync->setObjectName(QStringLiteral("LabelSync"));
    BtnStop = new QToolButton(status);
    BtnStop->setObjectName(QStringLiteral("BtnStop"));
    BtnStop->setText(QStringLiteral("Прервать"));
    BtnStop->setToolTip(QStringLiteral("Прервать синхронизацию; сделанное сохранится"));
    layout->addWidget(LabelSync);
    layout->addWidget(BtnStop);
    window.menuBar()->setCornerWidget(status);
    showStatus(QString(), QString(), false);

    m_postTimer.setSingleShot(true);
    m_postTimer.setInterval(postDelay);
    connect(&m_postTimer, &QTimer::timeout, this, &WindowSync::PostTimerTimer);
    connect(m_syncTimer.get(), &BootClockTimer::timeout, this, &WindowSync::SyncTimerTimer);
    connect(window.N14, &QAction::triggered, this, &WindowSync::N14Click);
    connect(window.N13, &QAction::triggered, this, &WindowSync::N13Click);
    connect(&m_passwords, &SyncPasswords::answered, this, &WindowSync::keyringAnswered);
    connect(BtnStop, &QToolButton::clicked, this, [this] {
        if (m_sync)
            m_sync->cancel();
    });
    applyAccount();
}

WindowSync::~WindowSync() = default;

QString WindowSync::conflictText(int conflicts)
{
    const int lastTwo = conflicts % 100;
    const int last = conflicts % 10;
    QString noun = QStringLiteral("конфликтов");
    if (last == 1 && lastTwo != 11)
        noun = QStringLiteral("конфликт");
    else if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14))
        noun = QStringLiteral("конфликта");
    return QStringLiteral("Синхронизация: %1 %2, сохранены обе версии").arg(conflicts).arg(noun);
}

QString WindowSync::keyringWaitText()
{
    return QStringLiteral("Синхронизация: ожидание связки ключей…");
}

QString WindowSync::problemsText(const QStringList& problems)
{
    // A first sync with a calendar full of objects another program wrote badly would otherwise fill the screen.
    constexpr qsizetype shownInFull = 10;
    QString text = problems.mid(0, shownInFull).join(u'\n');
    if (problems.size() > shownInFull)
        text += QStringLiteral("\n… и ещё %1").arg(problems.size() - shownInFull);
    return text;
}

bool WindowSync::running() const
{
    return m_sync && m_sync->running();
}

void WindowSync::applyAccount()
{
    const SyncAccount account = SyncAccount::load(m_settings);
    m_window.N14->setEnabled(account.isOn());
    if (account.isOn() && account.minutes > 0) {
        if (m_syncTimer->interval() != account.minutes * 60000 || !m_syncTimer->isActive())
            m_syncTimer->start(account.minutes * 60000);
    } else {
        m_syncTimer->stop();
    }
}

void WindowSync::N14Click()
{
    start(Origin::ByHand);
}

void WindowSync::SyncTimerTimer()
{
    start(Origin::Timed);
}

void WindowSync::PostTimerTimer()
{
    start(Origin::Timed);
}

void WindowSync::posted()
{
    if (SyncAccount::load(m_settings).isOn())
        m_postTimer.start();
}

void WindowSync::start(Origin origin)
{
    const SyncAccount account = SyncAccount::load(m_settings);
    if (!account.isOn())
        return;
    // The sync about to run takes the posts made so far along.
    m_postTimer.stop();
    QString password;
    if (!account.user.isEmpty()) {
        if (!m_passwords.isKnown(serverOf(account), account.user)) {
            // A locked keyring waits for the user to unlock it: the sync starts once it answers, which may be
            // before read() returns.
            m_waitingForKeyring = true;
            m_waitingByHand = m_waitingByHand || origin == Origin::ByHand;
            if (!running())
                showStatus(keyringWaitText(), QString(), false);
            m_passwords.read(&m_window, serverOf(account), account.user);
            return;
        }
        std::optional<QString> kept = m_passwords.known(serverOf(account), account.user);
        if (!kept && (origin == Origin::ByHand || !m_declined)) {
            kept = askPassword(&m_window, account.user);
            m_declined = !kept;
            if (kept)
                m_passwords.keep(&m_window, serverOf(account), account.user, *kept);
        }
        if (!kept)
            return;
        password = *kept;
    }
    if (!m_sync) {
        if (!ErrorReporter::guarded([&] {
                m_sync = std::make_unique<CalendarSync>(m_dataModule.connectionString(), m_dataModule.diaryIdentity());
            }))
            return;
        connect(m_sync.get(), &CalendarSync::progress, this, &WindowSync::progress);
        connect(m_sync.get(), &CalendarSync::finished, this, &WindowSync::finished);
    }
    m_byHand = m_byHand || origin == Origin::ByHand;
    showStatus(QStringLiteral("Синхронизация…"), QString(), true);
    m_sync->start(CalDavClient::Account{account.url, account.user, password, {}, account.trustedCertificate},
                  account.calendar);
}

void WindowSync::keyringAnswered()
{
    if (!std::exchange(m_waitingForKeyring, false))
        return;
    const Origin origin = std::exchange(m_waitingByHand, false) ? Origin::ByHand : Origin::Timed;
    showStatus(running() ? QStringLiteral("Синхронизация…") : QString(), QString(), running());
    start(origin);
}

void WindowSync::progress(int done, int total)
{
    showStatus(QStringLiteral("Синхронизация: %1 из %2").arg(done).arg(total), QString(), true);
}

void WindowSync::finished(const CalendarSync::Outcome& outcome)
{
    const bool byHand = std::exchange(m_byHand, m_byHand && running());
    if (!outcome.error.isEmpty() && !outcome.cancelled) {
        if (byHand) {
            showStatus(QString(), QString(), running());
            MessageBoxes::tell(&m_window, caption, outcome.error, MessageBoxes::Icon::Error);
        } else {
            showStatus(QStringLiteral("Синхронизация не удалась"), outcome.error, running());
        }
    } else {
        showStatus(running() ? QStringLiteral("Синхронизация…") : QString(), QString(), running());
    }
    if (outcome.diaryChanges > 0 || m_rereadPending) {
        ServerWait::whenIdle(this, [this] { reread(); });
        if (outcome.diaryChanges > 0)
            emit diaryChanged();
    }
    if (outcome.conflicts > 0)
        MessageBoxes::tell(&m_window, caption, conflictText(outcome.conflicts), MessageBoxes::Icon::Information);
    // Shown whoever started the sync, as conflicts are: each is told by one sync only, the one that met it.
    if (!outcome.problems.isEmpty())
        MessageBoxes::tell(&m_window, caption, problemsText(outcome.problems), MessageBoxes::Icon::Information);
    emit syncFinished(outcome);
}

void WindowSync::reread()
{
    RecordSet& list = m_dataModule.QJob;
    if (!list.isOpen())
        return;
    if (list.isEditing()) {
        m_rereadPending = true;
        return;
    }
    m_rereadPending = false;
    ErrorReporter::guarded([&] { list.refresh(); });
}

void WindowSync::showStatus(const QString& text, const QString& hint, bool stoppable)
{
    LabelSync->setText(text);
    LabelSync->setToolTip(hint);
    LabelSync->setVisible(!text.isEmpty());
    BtnStop->setVisible(stoppable);
}

void WindowSync::N13Click()
{
    const SyncAccount kept = SyncAccount::load(m_settings);
    const bool hadAccount = !kept.url.isEmpty() && !kept.user.isEmpty();
    TFormSync dialog(&m_window);
    dialog.setAccount(kept, hadAccount ? m_passwords.known(serverOf(kept), kept.user).value_or(QString()) : QString());
    if (hadAccount && !m_passwords.isKnown(serverOf(kept), kept.user)) {
        // The keyring may answer while the dialog is open: the password comes into the field unless one was typed.
        connect(&m_passwords, &SyncPasswords::answered, &dialog, [&] {
            if (!dialog.EdPassword->isModified())
                dialog.EdPassword->setText(m_passwords.known(serverOf(kept), kept.user).value_or(QString()));
        });
        m_passwords.read(&m_window, serverOf(kept), kept.user);
    }
    if (dialog.exec() != QDialog::Accepted)
        return;
    const SyncAccount chosen = dialog.account();
    if (!ErrorReporter::guarded([&] { chosen.store(m_settings); }))
        return;
    // A field the keyring never filled and the user left alone says nothing of the password: the one kept stays.
    const bool passwordShown =
        !hadAccount || m_passwords.isKnown(serverOf(kept), kept.user) || dialog.EdPassword->isModified();
    const bool sameAccount = serverOf(chosen) == serverOf(kept) && chosen.user == kept.user;
    if (hadAccount && !sameAccount)
        m_passwords.forget(&m_window, serverOf(kept), kept.user);
    if (!chosen.url.isEmpty() && !chosen.user.isEmpty() && passwordShown)
        m_passwords.keep(&m_window, serverOf(chosen), chosen.user, dialog.password());
    m_declined = false;
    applyAccount();
    if (chosen.isOn())
        start(Origin::ByHand);
}
