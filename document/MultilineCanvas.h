#pragma once
// A child window that lays out its children in a grid of rows and columns, one child per cell,
// with stretching rows and columns sharing the room beyond their natural sizes.

#include <QWidget>

#include <map>
#include <utility>
#include <vector>

class MultilineCanvas : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDefaultSize = 5;

    explicit MultilineCanvas(QWidget* parent = nullptr);

    // Places the child in the cell and makes the canvas its parent; a taken cell throws
    // std::runtime_error.
    void Add(int row, int column, QWidget* child);
    // size -1: the default size.
    void SetColumn(int index, int size, bool stretch);
    void SetRow(int index, int size, bool stretch);

    // The computed position and size of a column or row, after the last layout.
    std::pair<int, int> ColumnGeometry(int index) const;
    std::pair<int, int> RowGeometry(int index) const;

    void Layout();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Entry {
        int size = kDefaultSize;
        int position = 0;
        int requested = -1;
        bool stretch = false;
    };

    static void Grow(std::vector<Entry>& entries, int index);
    static void Distribute(std::vector<Entry>& entries, int room);

    std::vector<Entry> columns_;
    std::vector<Entry> rows_;
    std::map<std::pair<int, int>, QWidget*> cells_;
};
