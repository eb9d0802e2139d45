#include "waterfall/image_crop.h"

#include "waterfall/image.h"

namespace kelvanor {

std::vector<uint8_t> crop_image_rgb24(const WaterfallState& waterfall, int row, int column,
                                      int size) {
    if (size <= 0) return {};
    std::vector<uint8_t> out(static_cast<size_t>(size) * static_cast<size_t>(size) * 3, 0);
    const int top = row - size / 2;
    const int left = column - size / 2;
    const ImageLock held = lock_image(waterfall);
    for (int y = 0; y < size; ++y) {
        const int r = top + y;
        if (r < 0 || r >= kImageHeight) continue;
        for (int x = 0; x < size; ++x) {
            const int c = left + x;
            if (c < 0 || c >= kImageWidth) continue;
            const Rgb& colour = waterfall.palette[image_pixel(waterfall, held, r, c)];
            uint8_t* p =
                out.data() +
                (static_cast<size_t>(y) * static_cast<size_t>(size) + static_cast<size_t>(x)) * 3;
            p[0] = colour.red;
            p[1] = colour.green;
            p[2] = colour.blue;
        }
    }
    return out;
}

}  // namespace kelvanor
