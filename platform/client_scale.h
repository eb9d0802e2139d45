#pragma once
// The client surface shown enlarged: a whole-number scale (each client pixel becomes a
// scale x scale square), centred in the view that shows it. Mouse positions in the view map
// back to client coordinates, so that every hit test, measurement and zoom works in the
// fixed pixel layout whatever the scale.

#include "platform/geometry.h"

namespace kelvanor {

// The fixed layout needs a client area of at least this size.
inline constexpr Size kClientSize{792, 600};

inline constexpr int kMinClientScale = 1;
inline constexpr int kMaxClientScale = 3;

// Where the enlarged surface stands in its view.
struct ClientPlacement {
    int scale = 1;
    Point origin;  // the view position of client pixel (0, 0)
    bool operator==(const ClientPlacement&) const = default;
};

// The largest scale (1..3) at which `client` fits into `view`; 1 when even that does not fit.
int fitting_scale(Size view, Size client);

// `scale` limited to 1..3.
int valid_scale(int scale);

// The surface at the largest scale that fits, centred (origin never negative).
ClientPlacement place_client(Size view, Size client);

// The client pixel under a view position; positions beside the surface map to coordinates
// outside the client area, never onto its edge.
Point view_to_client(const ClientPlacement& placement, Point view);

// The view position in the middle of a client pixel: it maps back onto the same pixel.
Point client_to_view(const ClientPlacement& placement, Point client);

// The view rectangle that shows a client rectangle.
Rect client_rect_to_view(const ClientPlacement& placement, Rect client);

// The smallest client rectangle whose pixels cover a view rectangle.
Rect view_rect_to_client(const ClientPlacement& placement, Rect view);

}  // namespace kelvanor
