#include "platform/client_scale.h"

#include <algorithm>

namespace kelvanor {

namespace {

// Division that rounds toward minus infinity, so that the pixels left of or above the
// surface do not map onto column or row 0.
int floor_div(int value, int divisor) {
    const int quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

int ceil_div(int value, int divisor) {
    return -floor_div(-value, divisor);
}

}  // namespace

int valid_scale(int scale) {
    return std::clamp(scale, kMinClientScale, kMaxClientScale);
}

int fitting_scale(Size view, Size client) {
    if (client.width <= 0 || client.height <= 0) return kMinClientScale;
    const int scale = std::min(view.width / client.width, view.height / client.height);
    return valid_scale(scale);
}

ClientPlacement place_client(Size view, Size client) {
    ClientPlacement placement;
    placement.scale = fitting_scale(view, client);
    placement.origin = {std::max(0, (view.width - client.width * placement.scale) / 2),
                        std::max(0, (view.height - client.height * placement.scale) / 2)};
    return placement;
}

Point view_to_client(const ClientPlacement& placement, Point view) {
    return {floor_div(view.x - placement.origin.x, placement.scale),
            floor_div(view.y - placement.origin.y, placement.scale)};
}

Point client_to_view(const ClientPlacement& placement, Point client) {
    const int half = placement.scale / 2;
    return {placement.origin.x + client.x * placement.scale + half,
            placement.origin.y + client.y * placement.scale + half};
}

Rect client_rect_to_view(const ClientPlacement& placement, Rect client) {
    const int s = placement.scale;
    const Point o = placement.origin;
    return {o.x + client.left * s, o.y + client.top * s, o.x + client.right * s,
            o.y + client.bottom * s};
}

Rect view_rect_to_client(const ClientPlacement& placement, Rect view) {
    const int s = placement.scale;
    const Point o = placement.origin;
    return {floor_div(view.left - o.x, s), floor_div(view.top - o.y, s),
            ceil_div(view.right - o.x, s), ceil_div(view.bottom - o.y, s)};
}

}  // namespace kelvanor
