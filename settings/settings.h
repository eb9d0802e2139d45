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

// Lengths on the screen: metres or feet. KELVANOR.INI holds Units as 0 and 1.
enum class LengthUnit : int32_t { Metres = 0, Feet = 1 };

// The head's operating frequency. KELVANOR.INI and the record hold it as 0 and 1.
enum class FrequencyBand : int32_t { Low = 0, High = 1 };

// The GPS line speed. KELVANOR.INI holds GPSBaudRate as 0 (4800 baud) and 1 (9600 baud).
enum class GpsBaud : int32_t { Baud4800 = 0, Baud9600 = 1 };

// The four colour tables, by their Colors value in KELVANOR.INI (the menu command id minus
// the first colour item's id).
enum class ColourTable : int32_t { Color = 0, Grey = 3, ReverseGrey = 4, Brown = 5 };

// The channel selection (SSTrain): starboard, both sides or port. KELVANOR.INI holds it as
// 0, 1 and 2.
enum class ChannelSelection : int32_t { Starboard = 0, Both = 1, Port = 2 };

// The sides shown (channel_code): bit 0 starboard, bit 1 port. The record and the switch
// command hold it as 1, 2 and 3.
enum class ChannelCode : int32_t { Starboard = 1, Port = 2, Both = 3 };

constexpr bool shows_starboard(ChannelCode code) {
    return (static_cast<int32_t>(code) & 1) != 0;
}
constexpr bool shows_port(ChannelCode code) {
    return (static_cast<int32_t>(code) & 2) != 0;
}

// Range index limits: 4 at low frequency, 1 at high frequency.
inline constexpr int32_t kMaxRangeIndexLow = 4;
inline constexpr int32_t kMaxRangeIndexHigh = 1;

struct Settings {
    SharedBool Grid = true;
    Shared<ColourTable> Colors = ColourTable::Color;
    Shared<LengthUnit> Units = LengthUnit::Metres;
    Shared<kelvanor::RunMode> RunMode = kelvanor::RunMode::Head;
    SharedInt ComPort = 0;         // head port, COM number minus 1
    SharedInt ComPortGPS = 1;      // GPS port, COM number minus 1
    SharedInt GPSHeadingType = 2;  // 0 GLL, 1 GGA, 2 RMC
    SharedInt SSRange = 4;         // range index 0..max_range_index
    SharedInt SSGain = 6;          // gain step 0..40
    Shared<ChannelSelection> SSTrain = ChannelSelection::Both;
    SharedInt SSDelay = 0;  // 0..500
    SharedBool SpeedCorrection = false;
    SharedBool AlongTrackMarks = false;
    Shared<FrequencyBand> Frequency = FrequencyBand::Low;
    SharedInt ChannelBalance = 30;  // 0..60, 30 balanced
    Shared<GpsBaud> GPSBaudRate = GpsBaud::Baud4800;
    SharedInt PlotSpeed = 100;  // 0..100; playback pauses 100 - PlotSpeed ms per record

    // Companion values.
    SharedInt max_range_index = kMaxRangeIndexLow;
    SharedInt saved_ss_range = 4;  // HEAD-mode SSRange kept while FILE mode runs
    SharedInt saved_ss_gain = 6;   // HEAD-mode SSGain kept while FILE mode runs
    Shared<ChannelCode> channel_code = ChannelCode::Both;
    Shared<ChannelSelection> previous_ss_train = ChannelSelection::Both;
    Shared<FrequencyBand> file_frequency =
        FrequencyBand::Low;  // of the record being played; never saved

    // Held while fields that must agree are changed together or copied (see above).
    mutable CopyableMutex lock;
};

// Every field as it stood at one moment for the fields changed together under the lock.
Settings consistent_copy(const Settings& settings);

// The sides a channel selection shows.
constexpr ChannelCode channel_code_for_train(ChannelSelection ss_train) {
    switch (ss_train) {
        case ChannelSelection::Starboard:
            return ChannelCode::Starboard;
        case ChannelSelection::Port:
            return ChannelCode::Port;
        case ChannelSelection::Both:
            break;
    }
    return ChannelCode::Both;
}

// The frequency rule. In HEAD mode it sets max_range_index from Frequency,
// pulls SSRange into 0..max_range_index and copies it to saved_ss_range, then returns true:
// the caller clears the line history and redraws the grid label and the range read-out.
// In FILE mode it changes nothing and returns false.
bool apply_frequency_range_limit(Settings& settings);

}  // namespace kelvanor
