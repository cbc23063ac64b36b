#pragma once
// The Columns popup: one checkable item per column of the current view.

class CDefectList;
class QMenu;

// Fills the popup anew from the list's view; its items show and hide the columns.
void FillColumnsMenu(QMenu& menu, CDefectList& list);
