#pragma once

#include "settings/SyncAccount.h"

#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QThread;

// "Настройка" -> "Синхронизация…": the calendar account. "Проверить" asks the server for the user's calendars on a
// thread of its own, the window going on meanwhile, and lists them to choose from. An empty address turns the
// sync off. A server whose certificate does not verify shows that certificate's SHA-256 fingerprint and
// "Доверять этому сертификату", which trusts that one certificate for that server alone and checks again. The dialog
// only edits: its caller stores what it holds after OK.
class TFormSync : public QDialog
{
    Q_OBJECT
public:
    explicit TFormSync(QWidget* parent = nullptr);
    // Stops a check under way and waits for its thread.
    ~TFormSync() override;

    // Shows the account kept; its calendar is listed alone until a check lists the others.
    void setAccount(const SyncAccount& account, const QString& password);
    SyncAccount account() const;
    QString password() const;

    QLineEdit* EdUrl = nullptr;
    QLineEdit* EdUser = nullptr;
    QLineEdit* EdPassword = nullptr;
    QPushButton* BtnCheck = nullptr;
    // Shown while a check's certificate was refused.
    QPushButton* BtnTrust = nullptr;
    QListWidget* ListCalendars = nullptr;
    QSpinBox* EdMinutes = nullptr;
    // What the check is doing, found or refused.
    QLabel* LabelState = nullptr;
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnCancel = nullptr;

    void BtnCheckClick();
    void BtnTrustClick();
    void BtnOKClick();

    // "SHA-256: 3F:A0:…", the fingerprint the user can compare with the server's own.
    static QString fingerprintText(const QByteArray& digest);
    bool checking() const { return m_thread != nullptr; }

    void done(int result) override;

signals:
    // A check ended: the list or LabelState shows how.
    void checked();

private:
    struct Check;
    void checkFinished();
    void stopCheck();
    // The address or the user changed: the calendars listed are another account's.
    void accountEdited();

    std::shared_ptr<Check> m_check;
    // The certificate trusted, by its digest, and the server it was trusted on: another server is not given it.
    QByteArray m_trusted;
    QUrl m_trustedOn;
    // The digest of the certificate the last check was refused.
    QByteArray m_refused;
    QThread* m_thread = nullptr;
};
