#include "settings/settings.h"

namespace kelvanor {

bool apply_frequency_range_limit(Settings& settings) {
    if (settings.RunMode != 0) return false;
    settings.max_range_index = settings.Frequency == 0 ? kMaxRangeIndexLow : kMaxRangeIndexHigh;
    if (settings.SSRange < 0 || settings.SSRange > settings.max_range_index) {
        settings.SSRange = settings.max_range_index.load();
    }
    settings.saved_ss_range = settings.SSRange.load();
    return true;
}

}  // namespace kelvanor
