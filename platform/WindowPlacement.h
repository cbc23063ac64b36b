#pragma once
// The saved window position: 44 bytes laid out like the platform's placement record, of which
// the show state and the normal position are used.

#include <QByteArray>
#include <QRect>

#include <cstdint>

struct WindowPlacement {
    // Show states of the placement record.
    static constexpr std::int32_t kHidden = 0;
    static constexpr std::int32_t kNormal = 1;
    static constexpr std::int32_t kMinimized = 2;
    static constexpr std::int32_t kMaximized = 3;

    std::int32_t length = 0;
    std::int32_t flags = 0;
    std::int32_t showCmd = 0;
    std::int32_t minX = 0, minY = 0;
    std::int32_t maxX = 0, maxY = 0;
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;

    static constexpr int kSize = 44;

    static WindowPlacement FromBytes(const QByteArray& bytes); // bytes of kSize
    static WindowPlacement Of(const QRect& normal, std::int32_t showState);
    QByteArray ToBytes() const;
    bool IsEmpty() const; // all zero, as never saved
    QRect NormalRect() const;
};
static_assert(sizeof(WindowPlacement) == WindowPlacement::kSize);
