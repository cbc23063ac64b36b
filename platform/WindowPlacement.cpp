// The saved window placement: reading and writing its 44 bytes, and the normal position as a rectangle.

#include "platform/WindowPlacement.h"

#include <algorithm>
#include <cstring>

WindowPlacement WindowPlacement::FromBytes(const QByteArray& bytes)
{
    WindowPlacement placement;
    std::memcpy(&placement, bytes.constData(), std::min<std::size_t>(bytes.size(), kSize));
    return placement;
}

WindowPlacement WindowPlacement::Of(const QRect& normal, std::int32_t showState)
{
    WindowPlacement placement;
    placement.length = kSize;
    placement.showCmd = showState;
    placement.left = normal.left();
    placement.top = normal.top();
    placement.right = normal.left() + normal.width();
    placement.bottom = normal.top() + normal.height();
    return placement;
}

QByteArray WindowPlacement::ToBytes() const
{
    return QByteArray(reinterpret_cast<const char*>(this), kSize);
}

bool WindowPlacement::IsEmpty() const
{
    return ToBytes().count('\0') == kSize;
}

QRect WindowPlacement::NormalRect() const
{
    return QRect(left, top, right - left, bottom - top);
}
