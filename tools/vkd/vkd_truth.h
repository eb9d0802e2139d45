#pragma once
// The truth file of a synthetic recording: where each target of its scene stands (latitude,
// longitude), on which side of the track the recording sees it and how far across, and its
// size. `vkd synth --truth` writes it; `vkd synth --targets` reads one back so that another
// line sees the same targets.

#include <optional>
#include <string>
#include <vector>

#include "sim/survey_path.h"

namespace kelvanor::vkd {

// False with the reason in `error` when the file cannot be written.
bool write_truth_targets(const std::string& path, const std::vector<PlacedTarget>& targets,
                         const std::vector<std::optional<TargetSighting>>& sightings,
                         std::string& error);

// The targets of a truth file; nothing, with the reason, when it cannot be read.
std::optional<std::vector<PlacedTarget>> read_truth_targets(const std::string& path,
                                                            std::string& error);

}  // namespace kelvanor::vkd
