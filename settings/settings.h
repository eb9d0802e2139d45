#pragma once
// The persistent settings (one field per key of KELVANOR.INI, carrying the key's name) and
// their companion values. The GUI thread writes them; the acquisition and GPS threads read
// them, so every field is a Shared value.
//
// Fields that must agree (SSRange with max_range_index and Frequency) are changed together
// under `lock`, and a thread that needs them to agree reads them through consistent_copy():
// one field's atomic read alone could pair a new range limit with an old range. The lock is a
// leaf: nothing else is locked while it is held.

#include <cstdint>

#include "settings/copyable_mutex.h"
#include "settings/shared_value.h"

namespace kelvanor {

using SharedInt = Shared<int32_t>;
using SharedFloat = Shared<float>;
using SharedBool = Shared<bool>;

// What the program runs from: the sonar head (HEAD mode) or a recorded file (FILE mode).
// KELVANOR.INI holds it as 0 and 1.
enum class RunMode : int32_t { Head = 0, File = 1 };

// Range index limits: 4 at low frequency, 1 at high frequency.
inline constexpr int32_t kMaxRangeIndexLow = 4;
inline constexpr int32_t kMaxRangeIndexHigh = 1;

struct Settings {
    SharedBool Grid = true;
    SharedInt Colors = 0;  // 0 Color, 3 Grey, 4 Reverse Grey, 5 Brown
    SharedInt Units = 0;   // 0 metres, 1 feet
    Shared<kelvanor::RunMode> RunMode = kelvanor::RunMode::Head;
    SharedInt ComPort = 0;         // head port, COM number minus 1
    SharedInt ComPortGPS = 1;      // GPS port, COM number minus 1
    SharedInt GPSHeadingType = 2;  // 0 GLL, 1 GGA, 2 RMC
    SharedInt SSRange = 4;         // range index 0..max_range_index
    SharedInt SSGain = 6;          // gain step 0..40
    SharedInt SSTrain = 1;         // 0 Stbd, 1 Both, 2 Port
    SharedInt SSDelay = 0;         // 0..500
    SharedBool SpeedCorrection = false;
    SharedBool AlongTrackMarks = false;
    SharedInt Frequency = 0;        // 0 low, 1 high
    SharedInt ChannelBalance = 30;  // 0..60, 30 balanced
    SharedInt GPSBaudRate = 0;      // 0 = 4800, 1 = 9600 baud
    SharedInt PlotSpeed = 100;      // 0..100; playback pauses 100 - PlotSpeed ms per record

    // Companion values.
    SharedInt max_range_index = kMaxRangeIndexLow;
    SharedInt saved_ss_range = 4;  // HEAD-mode SSRange kept while FILE mode runs
    SharedInt saved_ss_gain = 6;   // HEAD-mode SSGain kept while FILE mode runs
    SharedInt channel_code = 3;    // bit 0 starboard, bit 1 port
    SharedInt previous_ss_train = 1;
    SharedInt file_frequency = 0;  // frequency of the record being played; never saved

    // Held while fields that must agree are changed together or copied (see above).
    mutable CopyableMutex lock;
};

// Every field as it stood at one moment for the fields changed together under the lock.
Settings consistent_copy(const Settings& settings);

// Channel code of a channel selection: Stbd 1, Both 3, Port 2.
constexpr int32_t channel_code_for_train(int32_t ss_train) {
    return ss_train == 0 ? 1 : ss_train == 2 ? 2 : 3;
}

// The frequency rule. In HEAD mode it sets max_range_index from Frequency,
// pulls SSRange into 0..max_range_index and copies it to saved_ss_range, then returns true:
// the caller clears the line history and redraws the grid label and the range read-out.
// In FILE mode it changes nothing and returns false.
bool apply_frequency_range_limit(Settings& settings);

}  // namespace kelvanor
