#pragma once
// Command ids of the main window's menu. Several encode values: colour item = 80 + Colors,
// units item = 250 + Units, frequency item = 850 + Frequency, data-source item = 5 + RunMode,
// window size item = 870 + the scale (1..3).

namespace kelvanor::menu {

inline constexpr int kHead = 5;
inline constexpr int kFile = 6;
inline constexpr int kPlayback = 10;
inline constexpr int kRecord = 15;
inline constexpr int kCopy = 16;
inline constexpr int kExit = 18;
inline constexpr int kColor = 80;
inline constexpr int kGrey = 83;
inline constexpr int kReverseGrey = 84;
inline constexpr int kBrown = 85;
inline constexpr int kAbout = 100;
inline constexpr int kComPorts = 105;
inline constexpr int kClearScreen = 205;
inline constexpr int kGrid = 206;
inline constexpr int kSaveScreen = 207;
inline constexpr int kMeters = 250;
inline constexpr int kFeet = 251;
inline constexpr int kAlongTrackMarks = 340;
inline constexpr int kSpeedCorrection = 350;
inline constexpr int kManualSpeed = 360;
inline constexpr int kSpeedFromGps = 365;
inline constexpr int kDiagnostics = 510;
inline constexpr int kZoom = 520;
inline constexpr int kMarkContact = 530;
inline constexpr int kContacts = 531;
inline constexpr int kTargetLength = 800;
inline constexpr int kTargetHeight = 801;
inline constexpr int kLow = 850;
inline constexpr int kHigh = 851;
inline constexpr int kChannelBalance = 860;
inline constexpr int kWindowSize1x = 871;
inline constexpr int kWindowSize2x = 872;
inline constexpr int kWindowSize3x = 873;

}  // namespace kelvanor::menu
