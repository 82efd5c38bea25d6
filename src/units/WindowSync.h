#pragma once

#include "platform/SuspendClocks.h"
#include "sync/CalendarSync.h"
#include "units/SyncPasswords.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class BootClockTimer;
class ProgramSettings;
class QLabel;
class QToolButton;
class QWidget;
class SecretStore;
class TDataModule1;
class TFormMain;
struct SyncAccount;

// The window's side of the calendar sync: "Файл" -> "Синхронизировать", "Настройка" -> "Синхронизация…", a sync
// every few minutes as the account says, a few seconds after the last post, and soon after start. A sync runs on a
// thread of its own; beside the menus the window shows that it runs, how far it is, and a button that stops it. A
// sync the user asked for tells its failure in a box; a timed one only beside the menus, rather than a box every
// few minutes while the server is away. The account's password is read from the keyring once a session without
// waiting for it: meanwhile the sync waits, and says so beside the menus.
class WindowSync : public QObject
{
    Q_OBJECT
public:
    // How long after the last post the sync comes, so that a run of edits goes in one sync.
    static constexpr int postDelay = 5000;
    // How long after start the first sync comes, once the window is up.
    static constexpr int startDelay = 3000;

    // Adds nothing to the window but the status beside its menus; the menu items are the window's own.
    WindowSync(TFormMain& window, TDataModule1& dataModule, ProgramSettings& settings, SecretStore& secrets,
               const SuspendClocks& clocks = SuspendClocks::system(), QObject* parent = nullptr);
    ~WindowSync() override;

    // "Синхронизация: 1 конфликт, сохранены обе версии", the noun in the plural the number takes.
    static QString conflictText(int conflicts);
    // Beside the menus while the keyring is asked for the password.
    static QString keyringWaitText();
    // The objects a sync could not bring over, as one message: the first few in full, then how many more.
    static QString problemsText(const QStringList& problems);

    // "Файл" -> "Синхронизировать".
    void N14Click();
    // "Настройка" -> "Синхронизация…".
    void N13Click();
    // The data module wrote to the diary: a sync once postDelay has passed without another write.
    void posted();
    // The timers' handlers: every few minutes, and after the posts.
    void SyncTimerTimer();
    void PostTimerTimer();

    BootClockTimer& syncTimer() { return *m_syncTimer; }
    QTimer& postTimer() { return m_postTimer; }
    bool running() const;

    // Beside the menus: what the sync does or why the last timed one failed, and the button that stops one.
    QLabel* LabelSync = nullptr;
    QToolButton* BtnStop = nullptr;

    // Asks the user for the account's password; none when the user cancels. Tests answer it themselves.
    std::function<std::optional<QString>(QWidget* parent, const QString& user)> askPassword;

signals:
    // A sync wrote to the diary: whatever lists events reads them anew.
    void diaryChanged();
    // A sync ended, however it ended.
    void syncFinished(const CalendarSync::Outcome& outcome);

private:
    enum class Origin { Timed, ByHand };
    void start(Origin origin);
    // The keyring answered: a sync waiting for it starts.
    void keyringAnswered();
    void finished(const CalendarSync::Outcome& outcome);
    void progress(int done, int total);
    // Re-reads the window's list, its current row kept; an edit under way is left alone until the next sync.
    void reread();
    // The account changed: the menu item and the timer follow it.
    void applyAccount();
    void showStatus(const QString& text, const QString& hint, bool stoppable);

    TFormMain& m_window;
    TDataModule1& m_dataModule;
    ProgramSettings& m_settings;
    SyncPasswords m_passwords;
    std::unique_ptr<BootClockTimer> m_syncTimer;
    QTimer m_postTimer;
    std::unique_ptr<CalendarSync> m_sync;
    // A sync the user asked for is running or queued: its failure is told in a box.
    bool m_byHand = false;
    // The user did not give the password this session: timed syncs wait for one asked for by hand.
    bool m_declined = false;
    // A sync waits for the keyring's answer; one the user asked for among those waiting.
    bool m_waitingForKeyring = false;
    bool m_waitingByHand = false;
    // A sync changed the diary while the list was being edited.
    bool m_rereadPending = false;
};
