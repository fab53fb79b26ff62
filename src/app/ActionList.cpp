#include "app/ActionList.h"

#include <QAction>

namespace tallemo {

QAction* ActionList::add(QAction* action, const QString& category) {
    m_items.append(Item{action, category});
    return action;
}

} // namespace tallemo
