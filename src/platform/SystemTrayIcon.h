#pragma once

#include "platform/TrayIcon.h"

#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>

#include <memory>

// The tray icon of the desktop the program runs on.
class SystemTrayIcon : public TrayIcon
{
    Q_OBJECT

public:
    SystemTrayIcon(const QIcon& icon, const QString& tip, QObject* parent = nullptr);
    ~SystemTrayIcon() override;

    bool add() override;
    void remove() override;
    bool isPresent() const override;
    void notify(const QString& title, const QString& text) override;

private:
    void activated(QSystemTrayIcon::ActivationReason reason);

    QIcon m_picture;
    QString m_tip;
    std::unique_ptr<QSystemTrayIcon> m_icon;
};
