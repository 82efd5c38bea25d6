#pragma once

#include "engine/SearchWords.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class TDataModule1;
class EventSearch;
struct FoundEvent;

// The search line over the list with the events it finds in the whole diary: each with its periodicity and date,
// the matching words in bold. The events are looked up a moment after the typing stops, so that a burst of keys
// costs one search, on the search's own thread; the list shows the last answer until the next comes. Enter or a
// double click picks an event (Enter while an answer is awaited picks the first it brings), Esc closes the panel.
class SearchPanel : public QWidget
{
    Q_OBJECT
public:
    explicit SearchPanel(TDataModule1& dataModule, QWidget* parent = nullptr);
    ~SearchPanel() override;

    // How long the typing must pause before a search, in milliseconds.
    static constexpr int typingPause = 150;
    // How long an answer may take before the line says that the search goes on, in milliseconds.
    static constexpr int slowAnswer = 300;
    // The most events the list shows.
    static constexpr int shownLimit = 100;

    QLineEdit* EdSearch = nullptr;
    QLabel* LabelFound = nullptr;
    QTreeWidget* ListFound = nullptr;
    QTimer* TimeSearch = nullptr;

    // Shows the panel with the last words typed, selected so that typing replaces them.
    void openSearch();
    // Hides the panel; emits closed.
    void closeSearch();
    // Asks for what the line holds now; TimeSearch runs it once the typing pauses.
    void TimeSearchTimer();
    // Whether an answer is awaited.
    bool isSearching() const { return m_question != 0; }
    // The key of the event the list's row stands for.
    static qint64 eventOf(const QTreeWidgetItem* row);

signals:
    void eventChosen(qint64 id);
    void closed();
    // The list shows the answer to the last question.
    void answered();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void pickCurrent();
    void moveInList(int distance);
    void showFound(quint64 question, const std::vector<FoundEvent>& events, const QString& error);
    void showPreparing(quint64 question, int percent);

    TDataModule1& m_dataModule;
    std::unique_ptr<EventSearch> m_search;
    QTimer* m_slow = nullptr;
    // The question whose answer is awaited, 0 for none, and the words it asked.
    quint64 m_question = 0;
    SearchWords m_asked;
    bool m_pickWhenAnswered = false;
    // The text of the last error shown; the same error again, as the user goes on typing, is not shown again.
    QString m_shownError;
};
