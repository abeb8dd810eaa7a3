#include "app/WindowPlacement.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

// Qt's conversions between logical and device pixels on one screen: positions relative to
// the screen's origin and lengths are multiplied by the scale (to device) or by its inverse
// (to logical) and rounded half away from zero.
class Scaling
{
public:
    explicit Scaling(qreal scale)
        : m_scale(std::isfinite(scale) && scale > 0 ? scale : 1.0), m_inverse(1.0 / m_scale)
    {
    }

    int toDevice(int logical) const { return qRound(logical * m_scale); }
    int toLogical(int device) const { return qRound(device * m_inverse); }

    // The device values that Qt reports as `logical`: a short run of integers around
    // logical × scale.
    int lowestDevice(int logical) const
    {
        int device = int(std::floor((logical - 1) * m_scale)) - 1;
        while (toLogical(device) < logical)
            ++device;
        return device;
    }
    int highestDevice(int logical) const
    {
        int device = int(std::ceil((logical + 1) * m_scale)) + 1;
        while (toLogical(device) > logical)
            --device;
        return device;
    }

    // The device value behind `logical` when more than one rounds to it: logical × scale
    // when that is a whole number (sizes made for the scale), else an even one (screens,
    // panels and docks come in even sizes), else the one nearest to logical × scale.
    int likelyDevice(int logical) const
    {
        const qreal exact = logical * m_scale;
        const auto rank = [exact](int device) {
            return std::tuple(device != exact, device % 2 != 0, std::abs(device - exact));
        };
        const int highest = highestDevice(logical);
        int best = lowestDevice(logical);
        for (int device = best + 1; device <= highest; ++device) {
            if (rank(device) < rank(best))
                best = device;
        }
        return best;
    }

    // The smallest logical value whose device image is at least `device`, and the largest
    // whose image is at most `device`.
    int logicalAtLeast(int device) const
    {
        int logical = int(std::floor(device * m_inverse)) - 1;
        while (toDevice(logical) < device)
            ++logical;
        return logical;
    }
    int logicalAtMost(int device) const
    {
        int logical = int(std::ceil(device * m_inverse)) + 1;
        while (toDevice(logical) > device)
            --logical;
        return logical;
    }

private:
    qreal m_scale;
    qreal m_inverse;
};

// One axis of the placement, in coordinates relative to the screen's origin. The client
// area starts at least `before` device pixels after `start`, ends at least `after` device
// pixels before `end`, and is never shorter than one logical pixel nor starts past the
// last device pixel. Returns {logical start, logical length}.
std::pair<int, int> fitAxis(const Scaling &scaling, int start, int end, int before, int after)
{
    int position = scaling.logicalAtLeast(start + before);
    position = std::min(position, scaling.logicalAtMost(end - 1));
    const int length = scaling.logicalAtMost(end - after - scaling.toDevice(position));
    return {position, std::max(1, length)};
}

} // namespace

namespace WindowPlacement {

QRect columnGeometry(const QRect &available, const QMargins &frame, qreal scale,
                     const QPoint &screenOrigin)
{
    if (available.width() <= 0 || available.height() <= 0)
        return {};
    const Scaling scaling(scale);
    const QPoint origin = screenOrigin;
    const int x = available.x() - origin.x();
    const int y = available.y() - origin.y();

    // The device edges of the available area. At scale 1 they are exact; otherwise each
    // is the likely one of the device values that round to the logical figure, which is
    // exact for screens and panels of even device sizes and a device pixel off for odd ones
    // (at scales up to 2).
    const int left = scaling.likelyDevice(x);
    const int top = scaling.likelyDevice(y);
    const int right = left + scaling.likelyDevice(available.width());
    const int bottom = top + scaling.likelyDevice(available.height());
    if (right <= left || bottom <= top)
        return {};

    // Decorations as wide as they can be for the logical sizes reported: a frame thinner
    // than assumed leaves the column a device pixel short of the edge instead of past it.
    // None is none: at scales above 2 a device pixel would round to none as well, but no
    // window manager draws a border that thin there.
    const auto widest = [&scaling](int logical) {
        return logical <= 0 ? 0 : scaling.highestDevice(logical);
    };

    const int outerWidth = std::min(scaling.toDevice(columnWidth), right - left);
    const auto [clientX, clientWidth] =
        fitAxis(scaling, right - outerWidth, right, widest(frame.left()), widest(frame.right()));
    const auto [clientY, clientHeight] =
        fitAxis(scaling, top, bottom, widest(frame.top()), widest(frame.bottom()));
    return QRect(origin.x() + clientX, origin.y() + clientY, clientWidth, clientHeight);
}

} // namespace WindowPlacement
