// The Columns popup of the View menu and of the list's context menu.

#include "ui/ColumnsMenu.h"

#include "list/DefectList.h"

#include <QMenu>

void FillColumnsMenu(QMenu& menu, CDefectList& list)
{
    menu.clear();
    for (const ColumnMenuItem& item : list.ColumnMenu()) {
        QAction* action = menu.addAction(item.text);
        action->setCheckable(true);
        action->setChecked(item.checked);
        const int commandId = item.commandId;
        QObject::connect(action, &QAction::triggered, &list, [&list, commandId] { list.ToggleColumn(commandId); });
    }
}
