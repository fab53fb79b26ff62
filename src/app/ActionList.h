#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QAction;

namespace tallemo {

// The window's actions in the order the commands enumerate them, each with its category; the
// commands that switch actions on and off pick them by category.
class ActionList : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    QAction* add(QAction* action, const QString& category = QString());

    int actionCount() const { return static_cast<int>(m_items.size()); }
    QAction* action(int i) const { return m_items.at(i).action; }
    QString category(int i) const { return m_items.at(i).category; }

private:
    struct Item {
        QAction* action;
        QString category;
    };
    QList<Item> m_items;
};

// One item of an action bar: the action and the caption the bar shows for it.
struct ActionBarItem {
    QAction* action = nullptr;
    QString caption;
};

struct ActionBar {
    bool visible = true;
    QList<ActionBarItem> items;
};

// The second action list, which also keeps the action bars; a toolbar shows one of them.
class ActionManager : public ActionList {
    Q_OBJECT
public:
    using ActionList::ActionList;

    void addBar(const ActionBar& bar) { m_bars.append(bar); }
    int barCount() const { return static_cast<int>(m_bars.size()); }
    const ActionBar& bar(int i) const { return m_bars.at(i); }

private:
    QList<ActionBar> m_bars;
};

} // namespace tallemo
