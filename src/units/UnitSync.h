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
// sync off. The dialog only edits: its caller stores what it holds after OK.
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
    QListWidget* ListCalendars = nullptr;
    QSpinBox* EdMinutes = nullptr;
    // What the check is doing, found or refused.
    QLabel* LabelState = nullptr;
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnCancel = nullptr;

    void BtnCheckClick();
    void BtnOKClick();
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
    QThread* m_thread = nullptr;
};
