// The grid window of the list editor's fields.
#include "document/MultilineCanvas.h"

#include <stdexcept>

MultilineCanvas::MultilineCanvas(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MultilineCanvas"));
    setFocusPolicy(Qt::NoFocus);
}

void MultilineCanvas::Grow(std::vector<Entry>& entries, int index)
{
    if (index >= static_cast<int>(entries.size()))
        entries.resize(static_cast<std::size_t>(index) + 1);
}

void MultilineCanvas::Add(int row, int column, QWidget* child)
{
    Grow(rows_, row);
    Grow(columns_, column);
    if (cells_.count({row, column}) != 0)
        throw std::runtime_error(
            "MultilineCanvas::Add attempt to add a child control to a position taken by another control.");
    cells_[{row, column}] = child;
    child->setParent(this);
    Layout();
}

void MultilineCanvas::SetColumn(int index, int size, bool stretch)
{
    Grow(columns_, index);
    columns_[static_cast<std::size_t>(index)].requested = size;
    columns_[static_cast<std::size_t>(index)].stretch = stretch;
    Layout();
}

void MultilineCanvas::SetRow(int index, int size, bool stretch)
{
    Grow(rows_, index);
    rows_[static_cast<std::size_t>(index)].requested = size;
    rows_[static_cast<std::size_t>(index)].stretch = stretch;
    Layout();
}

std::pair<int, int> MultilineCanvas::ColumnGeometry(int index) const
{
    const Entry& entry = columns_.at(static_cast<std::size_t>(index));
    return {entry.position, entry.size};
}

std::pair<int, int> MultilineCanvas::RowGeometry(int index) const
{
    const Entry& entry = rows_.at(static_cast<std::size_t>(index));
    return {entry.position, entry.size};
}

void MultilineCanvas::Distribute(std::vector<Entry>& entries, int room)
{
    int natural = 0;
    int stretching = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Entry& entry = entries[i];
        entry.size = entry.requested == -1 ? kDefaultSize : entry.requested;
        natural += entry.size;
        if (entry.stretch || i + 1 == entries.size())
            stretching += entry.size;
    }
    const int extra = room - natural;
    if (extra > 0 && stretching > 0) {
        std::vector<int> grown(entries.size(), 0);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].stretch || i + 1 == entries.size())
                grown[i] = entries[i].size * extra / stretching;
        }
        for (std::size_t i = 0; i < entries.size(); ++i)
            entries[i].size += grown[i];
    }
    int position = 0;
    for (Entry& entry : entries) {
        entry.position = position;
        position += entry.size;
    }
}

void MultilineCanvas::Layout()
{
    if (width() <= 0 || height() <= 0)
        return;
    Distribute(columns_, width());
    Distribute(rows_, height());
    for (const auto& [cell, child] : cells_) {
        const Entry& row = rows_[static_cast<std::size_t>(cell.first)];
        const Entry& column = columns_[static_cast<std::size_t>(cell.second)];
        child->setGeometry(column.position, row.position, column.size, row.size);
    }
}

void MultilineCanvas::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Layout();
}
