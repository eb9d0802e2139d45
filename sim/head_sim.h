#pragma once
// A simulated side-scan head: answers each switch command with the reply a real head would
// send, synthesised from a small model of a survey line (water column, a sea floor at an
// altitude with its texture, a few targets with their acoustic shadows). Gain, range and
// channel follow the command. It is the test bench and the demo data of the program.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kelvanor {

// Something standing on the sea floor, repeated every `SurveyScene::repeat_metres`.
struct SurveyTarget {
    float along_metres = 0.0f;   // position of its middle along the line
    float across_metres = 0.0f;  // ground range from the track; negative to port
    float length_metres = 2.0f;  // extent along the line
    float height_metres = 1.0f;  // casts a shadow behind it
};

struct SurveyScene {
    float altitude_metres = 8.0f;    // head above the sea floor
    float texture_strength = 0.35f;  // 0 smooth floor .. 1 strongly textured
    float repeat_metres = 300.0f;    // the line repeats after this distance
    uint32_t seed = 1;
    std::vector<SurveyTarget> targets = default_targets();

    static std::vector<SurveyTarget> default_targets();
};

// The head's true model: 'G' (400 samples) or 'H' (500 samples); dual heads offer both
// frequencies, single heads only the low one.
struct SimHeadConfig {
    char model = 'G';
    bool dual = true;
    SurveyScene scene;
};

struct SimHead {
    SimHeadConfig config;
    float along_metres = 0.0f;  // how far along the line the head is
    uint32_t ping_count = 0;
};

inline constexpr size_t kSimMaxReplyLength = 513;

// Moves the head along the line.
void advance_survey(SimHead& head, float metres);

// Answers one 27-byte switch command. The reply takes the form that the command's model
// byte asks for (40: a 413-byte 'G' reply; 50: a 513-byte 'H' reply) while its status bit 0
// tells the head's true model. Returns the reply length, or 0 when `command` is no switch
// command (wrong length or framing) or `out` is too small; a real head stays silent then.
size_t synthesize_reply(SimHead& head, std::span<const uint8_t> command, std::span<uint8_t> out);

// The switch command a program would send for a range in metres, gain, channel code
// (1 Stbd, 2 Port, 3 Both), frequency (0 low, 1 high) and expected head model.
std::vector<uint8_t> make_switch_command(int32_t range_metres, int32_t gain, int32_t channel_code,
                                         int32_t frequency, char model);

}  // namespace kelvanor
