#include "settings/settings.h"

#include <mutex>

namespace kelvanor {

Settings consistent_copy(const Settings& settings) {
    std::lock_guard held(settings.lock);
    return settings;
}

bool apply_frequency_range_limit(Settings& settings) {
    if (settings.RunMode != RunMode::Head) return false;
    // The acquisition thread (a head that changed) and the GUI thread (Low, High, the run-mode
    // switch) both run the rule: each run is whole.
    std::lock_guard held(settings.lock);
    settings.max_range_index =
        settings.Frequency == FrequencyBand::Low ? kMaxRangeIndexLow : kMaxRangeIndexHigh;
    if (settings.SSRange < 0 || settings.SSRange > settings.max_range_index) {
        settings.SSRange = settings.max_range_index.load();
    }
    settings.saved_ss_range = settings.SSRange.load();
    return true;
}

}  // namespace kelvanor
