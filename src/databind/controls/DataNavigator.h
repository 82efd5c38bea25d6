#pragma once

#include "databind/DataLink.h"

#include <QStringList>
#include <QWidget>

#include <array>

class QToolButton;

// A row of ten buttons running the record-set operations of their names on the set of a data source. The buttons
// never take the focus, so the focused control keeps its pending change for the operation to write back or drop.
// Prior and next repeat while held down. Each button is enabled only when its operation makes sense.
class DataNavigator : public QWidget
{
    Q_OBJECT

public:
    enum class Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    static constexpr int buttonCount = 10;

    explicit DataNavigator(QWidget* parent = nullptr);
    ~DataNavigator() override;

    DataSource* dataSource() const { return m_link.dataSource(); }
    void setDataSource(DataSource* source) { m_link.setDataSource(source); }

    QToolButton* button(Button which) const { return m_buttons[static_cast<std::size_t>(which)]; }
    // The tooltips of the buttons in their order; missing ones keep the default.
    void setHints(const QStringList& hints);
    QStringList hints() const;

    // What a click on the button does; errors are reported, not thrown.
    void run(Button which);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Link : public DataLink
    {
    public:
        explicit Link(DataNavigator& navigator) : m_navigator(navigator) {}
        void activeChanged() override { m_navigator.updateButtons(); }
        void stateChanged() override { m_navigator.updateButtons(); }
        void dataSetChanged() override { m_navigator.updateButtons(); }
        void recordMoved(int) override { m_navigator.updateButtons(); }

    private:
        DataNavigator& m_navigator;
    };

    void updateButtons();
    bool isAllowed(Button which) const;

    std::array<QToolButton*, buttonCount> m_buttons{};
    Link m_link;
};
