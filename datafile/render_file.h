#pragma once
// A whole data file played once through the FILE-mode pipeline (playback step, echo
// conversion, ping processing, column drawer) with no window and no plot-speed pauses: the
// waterfall `vkd render` writes as a PNG and the tests look at.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "waterfall/palette.h"

namespace kelvanor {

struct PlaybackContext;
class RecordSource;

struct FileRenderOptions {
    ColourTable colours = ColourTable::Color;
    bool grid = false;
    bool speed_correction = false;
    bool marks = false;
    // When set, every column that leaves the image at the left edge is appended here (500
    // bytes, top row first) while the file plays.
    std::vector<uint8_t>* column_spill = nullptr;
    // With a spill: playback stops once it holds more than this many columns (0: no limit).
    size_t max_spill_columns = 0;
    // Called whenever the share of the file played (0..100) changes.
    std::function<void(int32_t percent)> show_progress;
};

struct FileRenderResult {
    int64_t played = 0;   // records that went through ping processing
    int64_t skipped = 0;  // records refused and stepped over
    bool cut = false;     // the spill reached max_spill_columns before the end of the file
};

// Sets `app` up as FILE mode at full plot speed with the options, opens `source` for
// playback as the program does (fresh read-out copies, line history and screen) and plays it
// from its start to its end once. The image then shows what the screen would show after the
// last record; the column spill is detached again. Nothing when the source does not start
// with "VKD".
std::optional<FileRenderResult> render_file(const PlaybackContext& app, RecordSource& source,
                                            const FileRenderOptions& options);

}  // namespace kelvanor
