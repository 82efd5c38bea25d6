#include "units/WindowBackups.h"

#include "base/Clock.h"
#include "diary/UnitDM.h"
#include "look/ProgramLook.h"
#include "platform/ErrorReporter.h"
#include "platform/MessageBoxes.h"
#include "units/UnitMain.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>

WindowBackups::WindowBackups(TFormMain& window, TDataModule1& data, DiaryBackups backups)
    : m_window(window), m_data(data), m_backups(std::move(backups))
{
    m_window.N15->setEnabled(true);
    connect(m_window.N15, &QAction::triggered, this, &WindowBackups::N15Click);
    m_window.setBeforeImport([this] { beforeImport(); });
}

WindowBackups::~WindowBackups()
{
    m_window.setBeforeImport({});
    // A copy under way is finished rather than left half-written.
    waitDaily();
}

void WindowBackups::startDaily()
{
    if (m_daily)
        return;
    // The thread has the backups' values of its own and a connection of its own; only the outcome comes back.
    m_daily = QThread::create([this, backups = m_backups] {
        QString failure;
        try {
            DiaryBackups own = backups;
            if (!own.madeOn(Clock::today()))
                own.make();
        } catch (const std::exception& error) {
            failure = QString::fromUtf8(error.what());
        }
        QMetaObject::invokeMethod(
            this,
            [this, failure] {
                if (!failure.isEmpty())
                    tellFailure(failure);
                emit finished();
            },
            Qt::QueuedConnection);
    });
    m_daily->start(QThread::LowPriority);
}

void WindowBackups::waitDaily()
{
    if (!m_daily)
        return;
    m_daily->wait();
    delete m_daily;
    m_daily = nullptr;
}

void WindowBackups::beforeImport()
{
    try {
        m_backups.make();
    } catch (const std::exception& error) {
        tellFailure(QString::fromUtf8(error.what()));
    }
}

void WindowBackups::tellFailure(const QString& text)
{
    if (m_failureTold)
        return;
    m_failureTold = true;
    MessageBoxes::tell(&m_window, ProgramLook::title(), text, MessageBoxes::Icon::Error);
}

void WindowBackups::makeDialog()
{
    m_dialog = new QDialog(&m_window);
    m_dialog->setObjectName(QStringLiteral("BackupsDialog"));
    m_dialog->setWindowTitle(QStringLiteral("Резервные копии"));
    m_list = new QTableWidget(0, 4, m_dialog);
    m_list->setHorizontalHeaderLabels(
        {QStringLiteral("Дата"), QStringLiteral("Время"), QStringLiteral("Мероприятий"), QStringLiteral("Размер")});
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(m_dialog);
    QPushButton* restore = buttons->addButton(QStringLiteral("Восстановить"), QDialogButtonBox::ActionRole);
    restore->setObjectName(QStringLiteral("Restore"));
    buttons->addButton(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, m_dialog, &QDialog::reject);
    connect(restore, &QPushButton::clicked, this, [this] {
        if (m_list->currentRow() >= 0)
            restoreRow(m_list->currentRow());
    });
    auto* layout = new QVBoxLayout(m_dialog);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    m_dialog->resize(520, 360);
}

void WindowBackups::fillList()
{
    m_shown = m_backups.list();
    m_list->setRowCount(static_cast<int>(m_shown.size()));
    const QLocale locale;
    for (int row = 0; row < m_list->rowCount(); ++row) {
        const DiaryBackups::Backup& backup = m_shown[static_cast<std::size_t>(row)];
        const QString cells[] = {backup.made.date().toString(QStringLiteral("dd.MM.yyyy")),
                                 backup.made.time().toString(QStringLiteral("HH:mm:ss")),
                                 backup.events < 0 ? QStringLiteral("не читается") : QString::number(backup.events),
                                 locale.formattedDataSize(backup.size)};
        for (int column = 0; column < 4; ++column)
            m_list->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    if (m_list->rowCount() > 0)
        m_list->selectRow(0);
}

void WindowBackups::N15Click()
{
    ErrorReporter::guarded([this] {
        if (!m_dialog)
            makeDialog();
        fillList();
        m_dialog->show();
        m_dialog->raise();
    });
}

void WindowBackups::restoreRow(int row)
{
    if (row < 0 || row >= static_cast<int>(m_shown.size()))
        return;
    const DiaryBackups::Backup backup = m_shown[static_cast<std::size_t>(row)];
    const QString when = backup.made.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    if (MessageBoxes::ask(m_dialog, ProgramLook::title(),
                          QStringLiteral("Вернуть ежедневник к копии от %1? Мероприятия станут такими, как в копии; "
                                         "нынешнее состояние сохранится в новой резервной копии.")
                              .arg(when),
                          MessageBoxes::Icon::Question) != MessageBoxes::Answer::Ok)
        return;
    ErrorReporter::guarded([&] {
        if (m_data.QJob.isOpen())
            m_data.QJob.checkBrowseMode();
        waitDaily();
        const qint64 events = m_backups.restore(backup.path);
        m_data.eventsWrittenElsewhere();
        fillList();
        MessageBoxes::tell(
            m_dialog, ProgramLook::title(),
            QStringLiteral("Ежедневник восстановлен из копии от %1: мероприятий — %2.").arg(when).arg(events));
    });
}
