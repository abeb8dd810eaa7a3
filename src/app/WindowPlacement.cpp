#include "app/WindowPlacement.h"

#include <algorithm>

namespace WindowPlacement {

QRect columnFrame(const QRect &available)
{
    if (available.width() <= 0 || available.height() <= 0)
        return {};
    const int width = std::min(columnWidth, available.width());
    return QRect(available.right() + 1 - width, available.top(), width, available.height());
}

QRect columnGeometry(const QRect &available, const QMargins &frame)
{
    const QRect outer = columnFrame(available);
    if (outer.isNull())
        return {};
    // Decorations larger than the column itself (a tiny screen, a huge title bar) still
    // leave a window that exists: keep at least one pixel and stay at the outer corner.
    const int width = std::max(1, outer.width() - frame.left() - frame.right());
    const int height = std::max(1, outer.height() - frame.top() - frame.bottom());
    const int x = std::min(outer.left() + frame.left(), outer.right());
    const int y = std::min(outer.top() + frame.top(), outer.bottom());
    return QRect(x, y, width, height);
}

} // namespace WindowPlacement
