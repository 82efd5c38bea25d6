#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class TDataModule1;

// The search line over the list with the events it finds in the whole diary: each with its periodicity and date,
// the matching words in bold. The events are looked up a moment after the typing stops, so that a burst of keys
// costs one search. Enter or a double click picks an event, Esc closes the panel.
class SearchPanel : public QWidget
{
    Q_OBJECT
public:
    explicit SearchPanel(TDataModule1& dataModule, QWidget* parent = nullptr);

    // How long the typing must pause before a search, in milliseconds.
    static constexpr int typingPause = 150;
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
    // Looks up what the line holds now; TimeSearch runs it once the typing pauses.
    void TimeSearchTimer();
    // The key of the event the list's row stands for.
    static qint64 eventOf(const QTreeWidgetItem* row);

signals:
    void eventChosen(qint64 id);
    void closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void pickCurrent();
    void moveInList(int distance);

    TDataModule1& m_dataModule;
    // The text of the last error shown; the same error again, as the user goes on typing, is not shown again.
    QString m_shownError;
};
