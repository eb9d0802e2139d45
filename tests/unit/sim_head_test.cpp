#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <vector>

#include "sim/head_sim.h"

namespace kelvanor {
namespace {

std::vector<uint8_t> reply_to(SimHead& head, const std::vector<uint8_t>& command) {
    std::array<uint8_t, kSimMaxReplyLength> out{};
    const size_t n = synthesize_reply(head, command, out);
    return {out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n)};
}

double mean(const std::vector<uint8_t>& r, size_t from, size_t to) {
    return std::accumulate(r.begin() + static_cast<std::ptrdiff_t>(from),
                           r.begin() + static_cast<std::ptrdiff_t>(to), 0.0) /
           static_cast<double>(to - from);
}

TEST(SimHead, ReplyTakesTheCommandsFormAndStatusTellsTheTrueModel) {
    struct Case {
        char true_model;
        char asked_model;
        size_t length;
        uint8_t letter;
        uint8_t status;
    } cases[] = {
        {'G', 'G', 413, 'G', 0},
        {'H', 'G', 413, 'G', 1},  // an 'H' head first answers the 'G' command, flag set
        {'H', 'H', 513, 'H', 1},
        {'G', 'H', 513, 'H', 0},
    };
    for (const auto& c : cases) {
        SimHead head;
        head.config.model = c.true_model;
        auto r = reply_to(head, make_switch_command(120, 10, 3, 0, c.asked_model));
        ASSERT_EQ(r.size(), c.length);
        EXPECT_EQ(r[0], 'Q');
        EXPECT_EQ(r[1], c.letter);
        EXPECT_EQ(r[2], 'Z');
        EXPECT_EQ(r[3], 0x10);
        EXPECT_EQ(r[4] & 1, c.status);
        EXPECT_EQ(r.back(), 0xFC);
        const size_t samples = c.length - 13;
        EXPECT_EQ((r[11] & 0x7F) * 128 + (r[10] & 0x7F), static_cast<int>(samples));
    }
}

TEST(SimHead, RangeByteEchoesTheCommand) {
    SimHead head;
    EXPECT_EQ(reply_to(head, make_switch_command(240, 10, 3, 0, 'G'))[7], 150);  // 'G': 120 m
    EXPECT_EQ(reply_to(head, make_switch_command(15, 10, 3, 0, 'G'))[7], 20);
    head.config.model = 'H';
    EXPECT_EQ(reply_to(head, make_switch_command(240, 10, 3, 0, 'H'))[7], 240);
}

TEST(SimHead, BottomValueCarriesTheAltitudeAndSingleHeadsSaySo) {
    SimHead head;
    head.config.scene.altitude_metres = 12.34f;
    head.config.dual = false;
    auto r = reply_to(head, make_switch_command(60, 10, 3, 0, 'G'));
    EXPECT_EQ(r[9] * 128 + (r[8] & 0x7F), 1234);
    EXPECT_EQ(r[5], 0);
}

TEST(SimHead, NoReplyToAnythingButASwitchCommand) {
    SimHead head;
    auto command = make_switch_command(60, 10, 3, 0, 'G');
    std::array<uint8_t, kSimMaxReplyLength> out{};
    auto broken = command;
    broken[26] = 0xFC;
    EXPECT_EQ(synthesize_reply(head, broken, out), 0u);
    broken = command;
    broken.pop_back();
    EXPECT_EQ(synthesize_reply(head, broken, out), 0u);
    std::array<uint8_t, 100> small{};
    EXPECT_EQ(synthesize_reply(head, command, small), 0u);
}

TEST(SimHead, WaterColumnIsQuietAndTheBottomReturnSitsAtTheAltitude) {
    SimHead head;
    head.config.scene.altitude_metres = 10.0f;
    head.config.scene.targets.clear();
    // Starboard only, 60 m over 400 samples: 0.15 m per sample, bottom at sample 66.
    auto r = reply_to(head, make_switch_command(60, 20, 1, 0, 'G'));
    EXPECT_LT(mean(r, 12 + 10, 12 + 60), 20.0);
    EXPECT_GT(mean(r, 12 + 67, 12 + 68), 150.0);
    EXPECT_GT(mean(r, 12 + 80, 12 + 200), 30.0);
    EXPECT_GT(mean(r, 12 + 80, 12 + 150), mean(r, 12 + 300, 12 + 400));  // falls off
}

TEST(SimHead, GainRaisesTheEchoes) {
    SimHead quiet;
    SimHead loud;
    auto low = reply_to(quiet, make_switch_command(60, 0, 3, 0, 'G'));
    auto high = reply_to(loud, make_switch_command(60, 40, 3, 0, 'G'));
    EXPECT_GT(mean(high, 12, 412), 2.0 * mean(low, 12, 412));
}

TEST(SimHead, TargetCastsAShadowOnItsSideOnly) {
    SimHead head;
    head.config.scene.altitude_metres = 8.0f;
    head.config.scene.targets = {{50.0f, 20.0f, 10.0f, 2.0f}};
    head.along_metres = 50.0f;
    // Both sides, 60 m: 200 samples per side, 0.3 m each. Ground 20 m is slant 21.5 m.
    auto r = reply_to(head, make_switch_command(60, 20, 3, 0, 'G'));
    auto stbd = [&](size_t j) { return r[12 + 2 * j + 1]; };
    auto port = [&](size_t j) { return r[12 + 2 * j]; };
    // The shadow reaches ground 20 + 20 * 2 / 6 = 26.7 m (slant 27.8 m): samples 73..91.
    double shadow = 0;
    double port_same = 0;
    for (size_t j = 75; j < 90; ++j) {
        shadow += stbd(j);
        port_same += port(j);
    }
    EXPECT_LT(shadow / 15, 12.0);
    EXPECT_GT(port_same / 15, 25.0);
    size_t brightest = 0;
    for (size_t j = 60; j < 75; ++j) brightest = std::max<size_t>(brightest, stbd(j));
    EXPECT_GE(brightest, 200u);
}

TEST(SimHead, OneSidedCommandFillsEverySampleFromThatSide) {
    SimHead a;
    SimHead b;
    auto port = reply_to(a, make_switch_command(30, 20, 2, 0, 'G'));
    auto stbd = reply_to(b, make_switch_command(30, 20, 1, 0, 'G'));
    EXPECT_NE(port, stbd);
    EXPECT_GT(mean(port, 300, 400), 5.0);
}

TEST(SimHead, SameSceneGivesTheSameReplies) {
    SimHead a;
    SimHead b;
    auto command = make_switch_command(90, 10, 3, 1, 'G');
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(reply_to(a, command), reply_to(b, command));
        advance_survey(a, 0.3f);
        advance_survey(b, 0.3f);
    }
}

}  // namespace
}  // namespace kelvanor
