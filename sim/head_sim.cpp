#include "sim/head_sim.h"

#include <algorithm>
#include <cmath>

#include "ping/echo_conversion.h"

namespace kelvanor {

namespace {

constexpr size_t kCommandLength = 27;
constexpr uint8_t kModelCodeG = 40;
constexpr uint8_t kModelCodeH = 50;

// Deterministic noise: the same scene and ping always give the same reply.
uint32_t hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

float unit_noise(uint32_t a, uint32_t b, uint32_t seed) {
    return static_cast<float>(hash(a * 0x9E3779B1U ^ hash(b + seed * 0x85EBCA77U)) & 0xFFFF) /
           65535.0f;
}

// Smooth value noise over the sea floor, in cells of `cell` metres.
float floor_texture(float along, float across, float cell, uint32_t seed) {
    const float x = along / cell;
    const float y = across / cell;
    const float fx = std::floor(x);
    const float fy = std::floor(y);
    const auto ix = static_cast<uint32_t>(static_cast<int64_t>(fx));
    const auto iy = static_cast<uint32_t>(static_cast<int64_t>(fy));
    const float tx = x - fx;
    const float ty = y - fy;
    const float a = unit_noise(ix, iy, seed);
    const float b = unit_noise(ix + 1, iy, seed);
    const float c = unit_noise(ix, iy + 1, seed);
    const float d = unit_noise(ix + 1, iy + 1, seed);
    return (a * (1 - tx) + b * tx) * (1 - ty) + (c * (1 - tx) + d * tx) * ty;
}

struct Side {
    bool port = false;
    float sign() const { return port ? -1.0f : 1.0f; }
};

// Echo strength (0..255 before gain) at slant range `slant` on one side.
float echo_at(const SimHead& head, Side side, float slant, int32_t frequency, uint32_t sample) {
    const SurveyScene& scene = head.config.scene;
    const float altitude = std::max(scene.altitude_metres, 0.5f);
    const float noise = unit_noise(head.ping_count, sample * 2 + (side.port ? 1 : 0), scene.seed);
    if (slant < altitude) {
        // Water column: a little reverberation near the head, then quiet water.
        return 4.0f + 10.0f * noise + (slant < 1.0f ? 40.0f * (1.0f - slant) : 0.0f);
    }
    const float ground = std::sqrt(std::max(slant * slant - altitude * altitude, 0.0f));
    const float along = std::fmod(head.along_metres, std::max(scene.repeat_metres, 1.0f));
    const float across = side.sign() * ground;

    // Targets: a bright face, then the shadow the target casts away from the head.
    for (const SurveyTarget& t : scene.targets) {
        if (t.across_metres * side.sign() <= 0.0f) continue;
        if (std::fabs(along - t.along_metres) > t.length_metres * 0.5f) continue;
        const float near = std::fabs(t.across_metres);
        const float face = std::max(0.4f, t.height_metres * 0.5f);
        if (ground >= near - face && ground <= near) return 200.0f + 50.0f * noise;
        const float height = std::min(t.height_metres, altitude * 0.9f);
        const float shadow = near * height / (altitude - height);
        if (ground > near && ground <= near + shadow) return 3.0f + 6.0f * noise;
    }

    // The first bottom return is strong; backscatter then falls off with grazing angle.
    if (slant < altitude + 0.3f) return 190.0f + 40.0f * noise;
    const float cell = frequency == 1 ? 0.8f : 1.6f;
    const float ripples = 0.5f + 0.5f * std::sin(across * 4.0f + along * 0.7f);
    const float texture = 0.55f * floor_texture(along, across, cell * 4.0f, scene.seed) +
                          0.25f * floor_texture(along, across, cell, scene.seed + 7) +
                          0.2f * ripples;
    const float strength = std::clamp(scene.texture_strength, 0.0f, 1.0f);
    const float grazing = std::pow(altitude / slant, frequency == 1 ? 1.3f : 0.9f);
    const float level = 150.0f * grazing * ((1.0f - strength) + strength * 1.6f * texture);
    return level * (0.8f + 0.4f * noise);
}

uint8_t apply_gain(float value, int32_t gain) {
    const float scale = std::pow(10.0f, static_cast<float>(gain - 20) / 40.0f);
    return static_cast<uint8_t>(std::clamp(value * scale, 0.0f, 255.0f));
}

}  // namespace

std::vector<SurveyTarget> SurveyScene::default_targets() {
    return {
        {40.0f, 18.0f, 6.0f, 2.0f},     // a wreck-sized block to starboard
        {95.0f, -25.0f, 2.0f, 1.2f},    // a boulder to port
        {150.0f, 9.0f, 1.0f, 0.6f},     // a small object close to the track
        {210.0f, -60.0f, 12.0f, 3.0f},  // a long ridge far out to port
        {260.0f, 45.0f, 3.0f, 1.5f},
    };
}

void advance_survey(SimHead& head, float metres) {
    const float repeat = std::max(head.config.scene.repeat_metres, 1.0f);
    head.along_metres = std::fmod(head.along_metres + metres, repeat);
    if (head.along_metres < 0.0f) head.along_metres += repeat;
}

size_t synthesize_reply(SimHead& head, std::span<const uint8_t> command, std::span<uint8_t> out) {
    if (command.size() != kCommandLength || command[0] != 0xFE || command[1] != 0x44 ||
        command[kCommandLength - 1] != 0xFD) {
        return 0;
    }
    const bool h_form = command[19] == kModelCodeH;
    const size_t samples = h_form ? 500 : 400;
    const size_t length = samples + 13;
    if (out.size() < length) return 0;

    const int32_t range = h_form ? command[3] : g_range_code_to_metres(command[3]);
    const int32_t channel = command[7];  // 1 port, 2 starboard, 3 both
    const int32_t gain = command[8];
    const int32_t frequency = head.config.dual ? (command[25] ? 1 : 0) : 0;

    std::fill(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(length), 0);
    out[0] = 'Q';
    out[1] = h_form ? 'H' : 'G';
    out[2] = 'Z';
    out[3] = command[2];
    out[4] = head.config.model == 'H' ? 1 : 0;
    out[5] = head.config.dual ? 1 : 0;
    out[7] = command[3];
    const auto bottom = static_cast<uint32_t>(
        std::clamp(head.config.scene.altitude_metres * 100.0f, 0.0f, 32767.0f));
    out[8] = static_cast<uint8_t>(bottom & 0x7F);
    out[9] = static_cast<uint8_t>(bottom >> 7);
    out[10] = static_cast<uint8_t>(samples & 0x7F);
    out[11] = static_cast<uint8_t>((samples >> 7) & 0x7F);

    uint8_t* echo = out.data() + 12;
    const float metres = static_cast<float>(std::max(range, 1));
    if (channel == 3) {
        const size_t per_side = samples / 2;
        for (size_t j = 0; j < per_side; ++j) {
            const float slant =
                (static_cast<float>(j) + 0.5f) * metres / static_cast<float>(per_side);
            const auto id = static_cast<uint32_t>(j);
            echo[2 * j] = apply_gain(echo_at(head, Side{true}, slant, frequency, id), gain);
            echo[2 * j + 1] = apply_gain(echo_at(head, Side{false}, slant, frequency, id), gain);
        }
    } else if (channel == 1 || channel == 2) {
        const Side side{channel == 1};
        for (size_t i = 0; i < samples; ++i) {
            const float slant =
                (static_cast<float>(i) + 0.5f) * metres / static_cast<float>(samples);
            echo[i] =
                apply_gain(echo_at(head, side, slant, frequency, static_cast<uint32_t>(i)), gain);
        }
    }
    out[length - 1] = 0xFC;
    ++head.ping_count;
    return length;
}

std::vector<uint8_t> make_switch_command(int32_t range_metres, int32_t gain, int32_t channel_code,
                                         int32_t frequency, char model) {
    static constexpr int32_t kMetres[] = {15, 30, 60, 90, 120, 150, 180, 210, 240};
    static constexpr uint8_t kGCodes[] = {20, 40, 75, 115, 150, 190, 225, 150, 150};
    uint8_t range_code = 150;
    for (size_t i = 0; i < std::size(kMetres); ++i) {
        if (kMetres[i] == range_metres) range_code = kGCodes[i];
    }
    std::vector<uint8_t> c(kCommandLength, 0);
    c[0] = 0xFE;
    c[1] = 0x44;
    c[2] = 0x10;
    c[3] = model == 'H' ? static_cast<uint8_t>(range_metres) : range_code;
    c[6] = 0x43;
    c[7] = channel_code == 1 ? 2 : channel_code == 2 ? 1 : 3;
    c[8] = static_cast<uint8_t>(gain);
    c[9] = 1;
    c[10] = frequency ? 20 : 10;
    c[11] = 100;
    c[12] = 100;
    c[14] = 100;
    c[19] = model == 'H' ? kModelCodeH : kModelCodeG;
    c[20] = 8;
    c[21] = 6;
    c[25] = static_cast<uint8_t>(frequency ? 1 : 0);
    c[26] = 0xFD;
    return c;
}

}  // namespace kelvanor
