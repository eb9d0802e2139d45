#pragma once
// A square piece of the waterfall image through the current palette, for a contact's
// picture: centred on an image pixel, padded where it reaches past the image's edges.

#include <cstdint>
#include <vector>

#include "waterfall/waterfall_state.h"

namespace kelvanor {

// Side of a contact's picture in image pixels.
inline constexpr int kContactPictureSize = 128;

// `size` x `size` pixels of the image as RGB (three bytes a pixel, rows top-down, no gaps),
// the image pixel (row, column) at (size / 2, size / 2). Pixels outside the image are black.
// Takes the image lock.
std::vector<uint8_t> crop_image_rgb24(const WaterfallState& waterfall, int row, int column,
                                      int size = kContactPictureSize);

}  // namespace kelvanor
