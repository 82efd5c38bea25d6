#include "units/SearchPanel.h"

#include "databind/DateTimeText.h"
#include "diary/EventSearch.h"
#include "diary/UnitDM.h"
#include "engine/ServerWait.h"
#include "engine/SearchWords.h"
#include "base/Error.h"
#include "platform/ErrorReporter.h"
#include "units/SearchMarks.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

constexpr int keyRole = Qt::UserRole;
constexpr int listHeight = 130;

} // namespace

SearchPanel::SearchPanel(TDataModule1& dataModule, QWidget* parent) : QWidget(parent), m_dataModule(dataModule)
{
    setObjectName(QStringLiteral("SearchPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 2);
    layout->setSpacing(2);
    auto* line = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("Найти:"), this);
    EdSearch = new QLineEdit(this);
    EdSearch->setObjectName(QStringLiteral("EdSearch"));
    EdSearch->setPlaceholderText(QStringLiteral("слова описания или примечания"));
    EdSearch->setToolTip(QStringLiteral("Ищет во всех мероприятиях, в любой форме слова; Esc закрывает поиск"));
    caption->setBuddy(EdSearch);
    LabelFound = new QLabel(this);
    LabelFound->setObjectName(QStringLiteral("LabelFound"));
    line->addWidget(caption);
    line->addWidget(EdSearch, 1);
    line->addWidget(LabelFound);
    layout->addLayout(line);

    ListFound = new QTreeWidget(this);
    ListFound->setObjectName(QStringLiteral("ListFound"));
    ListFound->setRootIsDecorated(false);
    ListFound->setHeaderLabels(
        {QStringLiteral("Мероприятие"), QStringLiteral("Периодичность"), QStringLiteral("Дата")});
    ListFound->header()->setStretchLastSection(false);
    ListFound->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    ListFound->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    ListFound->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    ListFound->setFixedHeight(listHeight);
    layout->addWidget(ListFound);

    TimeSearch = new QTimer(this);
    TimeSearch->setObjectName(QStringLiteral("TimeSearch"));
    TimeSearch->setSingleShot(true);
    TimeSearch->setInterval(typingPause);
    connect(TimeSearch, &QTimer::timeout, this, &SearchPanel::TimeSearchTimer);
    m_slow = new QTimer(this);
    m_slow->setSingleShot(true);
    m_slow->setInterval(slowAnswer);
    connect(m_slow, &QTimer::timeout, this, [this] {
        if (isSearching())
            LabelFound->setText(QStringLiteral("Поиск…"));
    });
    connect(EdSearch, &QLineEdit::textChanged, this, [this] { TimeSearch->start(); });
    connect(EdSearch, &QLineEdit::returnPressed, this, &SearchPanel::pickCurrent);
    connect(ListFound, &QTreeWidget::itemActivated, this, &SearchPanel::pickCurrent);
    hide();
}

// The search's thread is stopped before the panel goes.
SearchPanel::~SearchPanel() = default;

void SearchPanel::openSearch()
{
    m_shownError.clear();
    show();
    EdSearch->setFocus();
    EdSearch->selectAll();
    // The diary may have changed since the panel was last open.
    if (!EdSearch->text().isEmpty())
        TimeSearch->start();
}

void SearchPanel::closeSearch()
{
    TimeSearch->stop();
    m_pickWhenAnswered = false;
    hide();
    emit closed();
}

void SearchPanel::TimeSearchTimer()
{
    TimeSearch->stop();
    m_asked = SearchWords::of(EdSearch->text());
    if (m_asked.isEmpty()) {
        m_question = 0;
        m_slow->stop();
        ListFound->clear();
        LabelFound->clear();
        return;
    }
    if (!m_search) {
        m_search = std::make_unique<EventSearch>(m_dataModule.connectionString());
        // An answer that comes while the window waits for the server is shown after the wait, as what it leads
        // to (an error box, the pick of an event) must not run inside it.
        connect(m_search.get(), &EventSearch::found, this,
                [this](quint64 question, const std::vector<FoundEvent>& events, const QString& error) {
                    ServerWait::whenIdle(this, [this, question, events, error] { showFound(question, events, error); });
                });
        connect(m_search.get(), &EventSearch::preparing, this, &SearchPanel::showPreparing);
    }
    m_question = m_search->find(m_asked, shownLimit);
    m_slow->start();
}

void SearchPanel::showPreparing(quint64 question, int percent)
{
    if (question == m_question)
        LabelFound->setText(QStringLiteral("Подготовка поиска: %1%").arg(percent));
}

void SearchPanel::showFound(quint64 question, const std::vector<FoundEvent>& found, const QString& error)
{
    // An answer to a question asked before the last comes too late to be shown.
    if (question != m_question)
        return;
    m_question = 0;
    m_slow->stop();
    ListFound->clear();
    LabelFound->clear();
    const bool pick = std::exchange(m_pickWhenAnswered, false);
    if (!error.isEmpty()) {
        // The same error again, as the user goes on typing, is shown once.
        if (error != m_shownError) {
            m_shownError = error;
            ErrorReporter::report(Error(error));
        }
        emit answered();
        return;
    }
    m_shownError.clear();
    for (const FoundEvent& event : found) {
        auto* row = new QTreeWidgetItem(ListFound);
        row->setData(0, keyRole, event.id);
        row->setText(1, event.period);
        if (event.dateIsp)
            row->setText(2, DateTimeText::defaultText({event.dateIsp->date(), event.dateIsp->time()},
                                                      FormatSettings::current()));
        // The description in a label of its own, for its marked words.
        row->setToolTip(0, event.job);
        auto* description = new QLabel(SearchMarks::markedHtml(event.job, m_asked));
        description->setTextFormat(Qt::RichText);
        description->setAttribute(Qt::WA_TransparentForMouseEvents);
        ListFound->setItemWidget(row, 0, description);
    }
    if (found.empty())
        LabelFound->setText(QStringLiteral("Ничего не найдено"));
    else
        LabelFound->setText(
            QStringLiteral("Найдено: %1%2")
                .arg(found.size())
                .arg(static_cast<int>(found.size()) == shownLimit ? QStringLiteral(" и более") : QString()));
    ListFound->setCurrentItem(ListFound->topLevelItem(0));
    emit answered();
    if (pick && isVisible())
        pickCurrent();
}

qint64 SearchPanel::eventOf(const QTreeWidgetItem* row)
{
    return row->data(0, keyRole).toLongLong();
}

void SearchPanel::pickCurrent()
{
    // Enter right after typing picks from what the line holds now, not from what the last pause found.
    if (TimeSearch->isActive())
        TimeSearchTimer();
    if (isSearching()) {
        m_pickWhenAnswered = true;
        return;
    }
    if (const QTreeWidgetItem* row = ListFound->currentItem())
        emit eventChosen(eventOf(row));
}

void SearchPanel::moveInList(int distance)
{
    const int count = ListFound->topLevelItemCount();
    if (count == 0)
        return;
    QTreeWidgetItem* current = ListFound->currentItem();
    const int at = current ? ListFound->indexOfTopLevelItem(current) : -1;
    ListFound->setCurrentItem(ListFound->topLevelItem(std::clamp(at + distance, 0, count - 1)));
}

void SearchPanel::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        closeSearch();
        return;
    case Qt::Key_Down:
        moveInList(1);
        return;
    case Qt::Key_Up:
        moveInList(-1);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
