#include "units/WindowSync.h"

#include "databind/RecordSet.h"
#include "diary/Period.h"
#include "diary/UnitDM.h"
#include "settings/ProgramSettings.h"
#include "settings/SyncAccount.h"
#include "support/CalDavServer.h"
#include "support/PlainDavServer.h"
#include "support/Program.h"
#include "support/QtPrinters.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TlsCertificates.h"
#include "units/SyncPasswords.h"
#include "units/UnitMain.h"
#include "units/UnitSync.h"

#include <QAction>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

using Kind = CalDavServer::Kind;
constexpr int serverWait = 30000;
const QString critical = Period(Period::Kind::Critical).text();

// A calendar of the test's own on the shared server, and the diary's program set to sync with it.
class SyncWindowTest : public ::testing::Test
{
protected:
    void SetUp() override { ScriptedMessageBoxes::instance().clear(); }

    void useAccount(const QUrl& calendar, const QString& user)
    {
        SyncAccount account;
        account.url = calendar;
        account.user = user;
        account.calendar = calendar;
        account.minutes = 0;
        account.store(program.singletons.programSettings());
    }

    // Runs the sync the call starts and waits for its end.
    CalendarSync::Outcome syncWith(const std::function<void()>& start)
    {
        std::optional<CalendarSync::Outcome> outcome;
        const QMetaObject::Connection told = QObject::connect(
            &sync(), &WindowSync::syncFinished, [&](const CalendarSync::Outcome& ended) { outcome = ended; });
        start();
        // The sync may be over already on its thread; its end is told through the event loop, after this.
        EXPECT_EQ(sync().LabelSync->text(), QStringLiteral("Синхронизация…"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, serverWait));
        QObject::disconnect(told);
        return outcome.value_or(CalendarSync::Outcome{});
    }

    WindowSync& sync() { return program.singletons.sync(); }
    TDataModule1& dataModule() { return program.singletons.dataModule(); }

    TempDiary diary;
    Program program{diary};
};

// The phone's to-do, as a client of its own puts it.
QByteArray todo(const QString& uid, const QString& summary)
{
    return QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Phone//EN\r\nBEGIN:VTODO\r\nUID:%1\r\n"
                          "DTSTAMP:20270101T000000Z\r\nSUMMARY:%2\r\nDUE;VALUE=DATE:20270105\r\n"
                          "STATUS:NEEDS-ACTION\r\nEND:VTODO\r\nEND:VCALENDAR\r\n")
        .arg(uid, summary)
        .toUtf8();
}

} // namespace

TEST(SyncTexts, ConflictsAreCountedInTheRussianPlural)
{
    const struct
    {
        int conflicts;
        const char* noun;
    } cases[] = {{1, "конфликт"},    {2, "конфликта"},    {4, "конфликта"},    {5, "конфликтов"}, {11, "конфликтов"},
                 {12, "конфликтов"}, {14, "конфликтов"},  {21, "конфликт"},    {22, "конфликта"}, {25, "конфликтов"},
                 {101, "конфликт"},  {111, "конфликтов"}, {112, "конфликтов"}, {123, "конфликта"}};
    for (const auto& c : cases)
        EXPECT_EQ(WindowSync::conflictText(c.conflicts), QStringLiteral("Синхронизация: %1 %2, сохранены обе версии")
                                                             .arg(c.conflicts)
                                                             .arg(QString::fromUtf8(c.noun)));
}

// Posts start the post timer again each time, so that a run of edits goes in one sync; without an account they
// start nothing and "Синхронизировать" is off.
TEST_F(SyncWindowTest, PostsSyncOnceQuietAfterTheLast)
{
    RecordSet& list = dataModule().QJob;
    dataModule().showAllEvents();
    const auto post = [&](const QString& job) {
        list.insert();
        list.fieldByName(QStringLiteral("job")).setValue(job);
        list.fieldByName(QStringLiteral("period")).setValue(critical);
        list.post();
    };
    post(QStringLiteral("без учётной записи"));
    EXPECT_FALSE(sync().postTimer().isActive());
    EXPECT_FALSE(program.singletons.mainWindow().N14->isEnabled());

    const CalDavServer server(Kind::Xandikos);
    const QUrl calendar = server.makeCalendar();
    useAccount(calendar, QString());
    post(QStringLiteral("первое"));
    ASSERT_TRUE(sync().postTimer().isActive());
    EXPECT_EQ(sync().postTimer().interval(), WindowSync::postDelay);
    sync().postTimer().stop();
    post(QStringLiteral("второе"));
    EXPECT_TRUE(sync().postTimer().isActive());
    EXPECT_FALSE(sync().running());

    const CalendarSync::Outcome outcome = syncWith([&] { sync().PostTimerTimer(); });
    EXPECT_EQ(outcome.error, QString());
    EXPECT_FALSE(sync().postTimer().isActive());
    CalDavClient client({calendar, server.user(), server.password(), {}});
    EXPECT_EQ(client.changes(calendar, {}).changed.size(), 3u);
    EXPECT_FALSE(sync().LabelSync->isVisibleTo(&program.singletons.mainWindow()));
}

// What another client wrote comes into the list the window shows, its current row still the one the user was on
// though the new row comes before it.
TEST_F(SyncWindowTest, TheListIsReadAgainAfterASyncThatChangedTheDiary)
{
    const CalDavServer server(Kind::Radicale);
    const QUrl calendar = server.makeCalendar();
    useAccount(calendar, server.user());
    program.secrets.store(calendar.toString(), server.user(), server.password());
    for (const char* job : {"первое", "второе"})
        diary.addRow({{QStringLiteral("job"), QString::fromUtf8(job)},
                      {QStringLiteral("period"), critical},
                      {QStringLiteral("date_isp"), QDate(2027, 1, 10)}});
    RecordSet& list = dataModule().QJob;
    dataModule().showAllEvents();
    ASSERT_EQ(list.recordCount(), 2);
    list.last();
    const QString current = list.fieldByName(QStringLiteral("job")).asString();

    CalDavClient phone({calendar, server.user(), server.password(), {}});
    phone.put(calendar.resolved(QUrl(QStringLiteral("phone-1.ics"))).path(),
              todo(QStringLiteral("phone-1"), QStringLiteral("с телефона")), {});
    const CalendarSync::Outcome outcome = syncWith([&] { sync().N14Click(); });
    EXPECT_EQ(outcome.error, QString());
    EXPECT_EQ(outcome.diaryChanges, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return list.recordCount() == 3; }, serverWait));
    EXPECT_EQ(list.fieldByName(QStringLiteral("job")).asString(), current);
    EXPECT_EQ(ScriptedMessageBoxes::instance().shownTexts(), QStringList());
}

// A sync the user asked for tells its failure in a box; a timed one only beside the menus.
TEST_F(SyncWindowTest, AFailureIsToldInABoxOnlyWhenTheUserAsked)
{
    useAccount(QUrl(QStringLiteral("http://127.0.0.1:1/calendar/")), QString());
    const TFormMain& window = program.singletons.mainWindow();
    const struct
    {
        const char* what;
        std::function<void()> start;
        bool box;
    } cases[] = {
        {"timed", [this] { sync().SyncTimerTimer(); }, false},
        {"by hand", [this] { sync().N14Click(); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedMessageBoxes::instance().clear();
        const CalendarSync::Outcome outcome = syncWith(c.start);
        ASSERT_FALSE(outcome.error.isEmpty());
        EXPECT_FALSE(outcome.error.contains(QStringLiteral("Authorization")));
        const QList<MessageBoxes::Message>& shown = ScriptedMessageBoxes::instance().shown();
        ASSERT_EQ(shown.size(), c.box ? 1 : 0);
        if (c.box) {
            EXPECT_EQ(shown.first().text, outcome.error);
            EXPECT_EQ(shown.first().icon, MessageBoxes::Icon::Error);
        } else {
            EXPECT_EQ(sync().LabelSync->text(), QStringLiteral("Синхронизация не удалась"));
            EXPECT_EQ(sync().LabelSync->toolTip(), outcome.error);
        }
        EXPECT_EQ(sync().LabelSync->isVisibleTo(&window), !c.box);
        EXPECT_FALSE(sync().BtnStop->isVisibleTo(&window));
    }
}

// With no password kept the user is asked; one refused is not asked for again by the timer, only by hand, and one
// given is kept and used.
TEST_F(SyncWindowTest, AMissingPasswordIsAskedForOnceUnlessTheUserAsks)
{
    const CalDavServer server(Kind::Radicale);
    const QUrl calendar = server.makeCalendar();
    useAccount(calendar, server.user());
    QStringList asked;
    std::optional<QString> answer;
    sync().askPassword = [&](QWidget*, const QString& user) {
        asked << user;
        return answer;
    };
    sync().SyncTimerTimer();
    sync().SyncTimerTimer();
    EXPECT_EQ(asked, QStringList{server.user()});
    EXPECT_FALSE(sync().running());

    answer = server.password();
    const CalendarSync::Outcome outcome = syncWith([&] { sync().N14Click(); });
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(outcome.error, QString());
    EXPECT_EQ(program.secrets.read(calendar.toString(), server.user()), server.password());
}

// A keyring that answers late, as a locked one does, holds neither the window nor the program: the sync says beside
// the menus that it waits, starts once the keyring answers, and the keyring is read once a session.
TEST_F(SyncWindowTest, ASyncWaitsForALateKeyringBesideTheMenusAndReadsItOnce)
{
    const CalDavServer server(Kind::Radicale);
    const QUrl calendar = server.makeCalendar();
    useAccount(calendar, server.user());
    program.secrets.store(calendar.toString(), server.user(), server.password());
    program.secrets.answerLate = true;
    int asked = 0;
    sync().askPassword = [&](QWidget*, const QString&) {
        ++asked;
        return std::optional<QString>();
    };
    const TFormMain& window = program.singletons.mainWindow();
    sync().N14Click();
    sync().SyncTimerTimer();
    EXPECT_EQ(sync().LabelSync->text(), WindowSync::keyringWaitText());
    EXPECT_TRUE(sync().LabelSync->isVisibleTo(&window));
    EXPECT_FALSE(sync().BtnStop->isVisibleTo(&window));
    EXPECT_FALSE(sync().running());
    EXPECT_EQ(program.secrets.reads, 1);

    for (const auto& start :
         std::initializer_list<std::function<void()>>{[&] { program.secrets.answer(); }, [&] { sync().N14Click(); }}) {
        const CalendarSync::Outcome outcome = syncWith(start);
        EXPECT_EQ(outcome.error, QString());
    }
    EXPECT_EQ(program.secrets.reads, 1);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(ScriptedMessageBoxes::instance().shownTexts(), QStringList());
}

// OK in the dialog opened before the keyring answered, on a password field the user left alone, keeps the password
// as it was rather than forgetting it; a dialog open when the keyring answers shows the password.
TEST_F(SyncWindowTest, TheDialogNeverForgetsAPasswordUnseenAndShowsItWhenTheKeyringAnswers)
{
    const QUrl calendar(QStringLiteral("http://127.0.0.1:1/calendar/"));
    const QString user = QStringLiteral("ivan");
    useAccount(calendar, user);
    program.secrets.store(calendar.toString(), user, QStringLiteral("пароль"));
    program.secrets.answerLate = true;
    const auto inDialog = [this](const std::function<void(TFormSync&)>& steps) {
        QTimer::singleShot(0, [&] {
            auto* dialog = program.singletons.mainWindow().findChild<TFormSync*>();
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->password(), QString());
            steps(*dialog);
        });
        sync().N13Click();
    };
    inDialog([](TFormSync& dialog) { dialog.BtnOK->click(); });
    EXPECT_EQ(program.secrets.read(calendar.toString(), user), QStringLiteral("пароль"));
    EXPECT_EQ(sync().LabelSync->text(), WindowSync::keyringWaitText());

    QSignalSpy ended(&sync(), &WindowSync::syncFinished);
    inDialog([this](TFormSync& dialog) {
        program.secrets.answer();
        EXPECT_EQ(dialog.password(), QStringLiteral("пароль"));
        dialog.BtnCancel->click();
    });
    EXPECT_EQ(program.secrets.reads, 1);
    // The sync asked for by the first OK ran once the keyring answered.
    EXPECT_TRUE(!ended.isEmpty() || ended.wait(serverWait));
}

// Without a keyring the password given is kept for the session alone, and the user is told that once.
TEST_F(SyncWindowTest, WithoutAKeyringThePasswordIsKeptForTheSessionAndThatToldOnce)
{
    program.secrets.available = false;
    useAccount(QUrl(QStringLiteral("http://127.0.0.1:1/calendar/")), QStringLiteral("ivan"));
    int asked = 0;
    sync().askPassword = [&](QWidget*, const QString&) {
        ++asked;
        return std::optional<QString>(QStringLiteral("пароль"));
    };
    for (int i = 0; i < 2; ++i)
        syncWith([&] { sync().SyncTimerTimer(); });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ScriptedMessageBoxes::instance().shownTexts(), QStringList{SyncPasswords::unavailableText()});
    EXPECT_TRUE(program.secrets.passwords.isEmpty());
}

// "Проверить" lists the account's calendars from the server's address, and tells a password the server refused.
TEST_F(SyncWindowTest, TheDialogListsTheCalendarsOrTellsWhy)
{
    const struct
    {
        Kind kind;
        bool rightPassword;
    } cases[] = {{Kind::Radicale, true}, {Kind::Radicale, false}, {Kind::Xandikos, true}};
    for (const auto& c : cases) {
        const CalDavServer server(c.kind);
        SCOPED_TRACE(server.name().toStdString() + (c.rightPassword ? "" : ", wrong password"));
        const QUrl calendar = server.makeCalendar();
        TFormSync dialog;
        dialog.setAccount({}, QString());
        dialog.EdUrl->setText(server.baseUrl().toString());
        dialog.EdUser->setText(server.user());
        dialog.EdPassword->setText(c.rightPassword ? server.password() : QStringLiteral("не тот"));
        QSignalSpy checked(&dialog, &TFormSync::checked);
        dialog.BtnCheck->click();
        EXPECT_FALSE(dialog.BtnCheck->isEnabled());
        EXPECT_EQ(dialog.LabelState->text(), QStringLiteral("Проверка…"));
        ASSERT_TRUE(checked.wait(serverWait));
        EXPECT_TRUE(dialog.BtnCheck->isEnabled());
        QList<QUrl> listed;
        for (int row = 0; row < dialog.ListCalendars->count(); ++row)
            listed << dialog.ListCalendars->item(row)->data(Qt::UserRole).toUrl();
        if (c.rightPassword) {
            EXPECT_TRUE(listed.contains(calendar)) << dialog.LabelState->text().toStdString();
        } else {
            EXPECT_TRUE(listed.isEmpty());
            EXPECT_TRUE(dialog.LabelState->text().contains(QStringLiteral("неверное имя пользователя или пароль")))
                << dialog.LabelState->text().toStdString();
            EXPECT_FALSE(dialog.LabelState->text().contains(QStringLiteral("не тот")));
        }
    }
}

// What OK keeps: the calendar chosen, an address without a scheme as https; an empty address turns the sync off,
// and an address without a calendar chosen is not taken.
TEST_F(SyncWindowTest, TheDialogGivesTheAccountChosen)
{
    TFormSync dialog;
    SyncAccount kept;
    kept.url = QUrl(QStringLiteral("https://dav.example.org/"));
    kept.user = QStringLiteral("ivan");
    kept.calendar = QUrl(QStringLiteral("https://dav.example.org/ivan/work/"));
    kept.minutes = 30;
    dialog.setAccount(kept, QStringLiteral("secret"));
    dialog.EdUrl->setText(QStringLiteral("dav.example.org/"));
    const SyncAccount given = dialog.account();
    EXPECT_EQ(given.url, kept.url);
    EXPECT_EQ(given.calendar, kept.calendar);
    EXPECT_EQ(given.minutes, 30);
    EXPECT_EQ(dialog.password(), QStringLiteral("secret"));

    // Another address lists no calendar until checked: OK refuses it.
    dialog.EdUrl->setText(QStringLiteral("other.example.org"));
    emit dialog.EdUrl->textEdited(dialog.EdUrl->text());
    dialog.BtnOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(ScriptedMessageBoxes::instance().shown().size(), 1);

    dialog.EdUrl->clear();
    EXPECT_FALSE(dialog.account().isOn());
    dialog.BtnOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

// A server at home whose certificate no authority of the system's signs: the dialog's check shows the certificate's
// fingerprint and offers to trust it; trusted, the check lists the calendars, the account keeps the digest for that
// server alone and the window's sync uses it; a certificate other than the one trusted is refused with the reason.
TEST_F(SyncWindowTest, TheDialogTrustsAHomeServersCertificateByItsFingerprint)
{
    const QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    TlsCertificates::makeAuthority(folder, QStringLiteral("home"));
    TlsCertificates::makeServer(folder, QStringLiteral("home"));
    if (HasFatalFailure())
        return;
    const std::unique_ptr<CalDavServer> server = CalDavServer::startOwn(
        Kind::Radicale, folder.filePath(QStringLiteral("server.pem")), folder.filePath(QStringLiteral("server.key")));
    const QList<QSslCertificate> certificates =
        QSslCertificate::fromPath(folder.filePath(QStringLiteral("server.pem")), QSsl::Pem);
    ASSERT_EQ(certificates.size(), 1);
    const QByteArray digest = certificates.first().digest(QCryptographicHash::Sha256);

    TFormSync dialog;
    dialog.EdUrl->setText(server->calendarUrl().toString());
    dialog.EdUser->setText(server->user());
    dialog.EdPassword->setText(server->password());
    const auto checkBy = [&](QPushButton* button) {
        QSignalSpy checked(&dialog, &TFormSync::checked);
        button->click();
        EXPECT_TRUE(checked.wait(serverWait));
    };
    checkBy(dialog.BtnCheck);
    EXPECT_TRUE(dialog.LabelState->text().startsWith(QStringLiteral("Сертификат сервера не подтверждён: ")));
    EXPECT_TRUE(dialog.LabelState->text().endsWith(u'\n' + TFormSync::fingerprintText(digest)));
    EXPECT_TRUE(dialog.BtnTrust->isVisibleTo(&dialog));
    EXPECT_EQ(dialog.ListCalendars->count(), 0);
    EXPECT_TRUE(dialog.account().trustedCertificate.isEmpty());

    checkBy(dialog.BtnTrust);
    EXPECT_EQ(dialog.ListCalendars->count(), 1) << dialog.LabelState->text().toStdString();
    EXPECT_FALSE(dialog.BtnTrust->isVisibleTo(&dialog));
    SyncAccount chosen = dialog.account();
    EXPECT_EQ(chosen.trustedCertificate, digest);
    dialog.EdUrl->setText(QStringLiteral("https://127.0.0.2:%1/").arg(server->port()));
    EXPECT_TRUE(dialog.account().trustedCertificate.isEmpty()) << "another server is not given the trust";

    chosen.minutes = 0;
    chosen.store(program.singletons.programSettings());
    EXPECT_EQ(SyncAccount::load(program.singletons.programSettings()).trustedCertificate, digest);
    program.secrets.store(chosen.url.toString(QUrl::RemoveUserInfo), chosen.user, server->password());
    EXPECT_EQ(syncWith([&] { sync().N14Click(); }).error, QString());

    chosen.trustedCertificate = QCryptographicHash::hash("другой", QCryptographicHash::Sha256);
    chosen.store(program.singletons.programSettings());
    const CalendarSync::Outcome refused = syncWith([&] { sync().SyncTimerTimer(); });
    EXPECT_TRUE(refused.error.startsWith(QStringLiteral("Сертификат сервера сменился: ")))
        << refused.error.toStdString();
    EXPECT_EQ(sync().LabelSync->toolTip(), refused.error);
}

// An object that can't be read is told in one box by whichever sync meets it, a timed one too, and not again by
// the next syncs of the session while it stays as it is.
TEST_F(SyncWindowTest, AnUnreadableObjectIsToldOnceInABox)
{
    const PlainDavServer server;
    useAccount(server.calendarUrl(), QString());
    server.put(QStringLiteral("good.ics"), todo(QStringLiteral("good"), QStringLiteral("хорошее")));
    server.put(QStringLiteral("bad.ics"), "BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:bad\r\nSUMMARY:Сломанное\r\n");

    const CalendarSync::Outcome first = syncWith([this] { sync().SyncTimerTimer(); });
    EXPECT_EQ(first.error, QString());
    ASSERT_EQ(first.problems.size(), 1);
    const QList<MessageBoxes::Message>& shown = ScriptedMessageBoxes::instance().shown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.first().text, WindowSync::problemsText(first.problems));
    EXPECT_TRUE(shown.first().text.contains(QStringLiteral("«Сломанное»"))) << shown.first().text.toStdString();

    server.put(QStringLiteral("good-2.ics"), todo(QStringLiteral("good-2"), QStringLiteral("ещё хорошее")));
    ScriptedMessageBoxes::instance().clear();
    const CalendarSync::Outcome second = syncWith([this] { sync().N14Click(); });
    EXPECT_EQ(second.error, QString());
    EXPECT_EQ(second.diaryChanges, 1);
    EXPECT_EQ(ScriptedMessageBoxes::instance().shownTexts(), QStringList());
}

TEST(SyncTexts, ManyProblemsShowTheFirstTenAndHowManyMore)
{
    QStringList problems;
    for (int i = 1; i <= 12; ++i)
        problems << QStringLiteral("Синхронизация: объект %1 не прочитан.").arg(i);
    EXPECT_EQ(WindowSync::problemsText(problems.mid(0, 3)), problems.mid(0, 3).join(u'\n'));
    EXPECT_EQ(WindowSync::problemsText(problems), problems.mid(0, 10).join(u'\n') + QStringLiteral("\n… и ещё 2"));
}
