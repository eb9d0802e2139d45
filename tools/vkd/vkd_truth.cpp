#include "vkd_truth.h"

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>

namespace kelvanor::vkd {

namespace {

// To `decimals` places (seven decimals of a degree are about a centimetre).
double rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

}  // namespace

bool write_truth_targets(const std::string& path, const std::vector<PlacedTarget>& targets,
                         const std::vector<std::optional<TargetSighting>>& sightings,
                         std::string& error) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (size_t i = 0; i < targets.size(); ++i) {
        const PlacedTarget& t = targets[i];
        nlohmann::ordered_json j;
        j["latitude"] = rounded(t.point.latitude_degrees, 7);
        j["longitude"] = rounded(t.point.longitude_degrees, 7);
        const auto& seen = i < sightings.size() ? sightings[i] : std::nullopt;
        if (seen) {
            j["side"] = seen->side == SonarSide::Port ? "port" : "starboard";
            j["across_metres"] = rounded(seen->across_metres, 2);
        } else {
            j["side"] = nullptr;  // the recording never passes it
            j["across_metres"] = nullptr;
        }
        j["length_metres"] = rounded(t.length_metres, 2);
        j["height_metres"] = rounded(t.height_metres, 2);
        list.push_back(std::move(j));
    }
    nlohmann::ordered_json doc;
    doc["targets"] = std::move(list);
    std::ofstream out(path);
    out << doc.dump(2) << '\n';
    out.close();
    if (!out) {
        error = "cannot write the truth file";
        return false;
    }
    return true;
}

std::optional<std::vector<PlacedTarget>> read_truth_targets(const std::string& path,
                                                            std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot open the truth file";
        return std::nullopt;
    }
    std::vector<PlacedTarget> targets;
    try {
        const auto doc = nlohmann::json::parse(in);
        for (const auto& j : doc.at("targets")) {
            PlacedTarget t;
            t.point.latitude_degrees = j.at("latitude").get<double>();
            t.point.longitude_degrees = j.at("longitude").get<double>();
            t.length_metres = j.at("length_metres").get<float>();
            t.height_metres = j.at("height_metres").get<float>();
            if (std::fabs(t.point.latitude_degrees) > 90.0 ||
                std::fabs(t.point.longitude_degrees) > 180.0 || !(t.length_metres > 0.0f) ||
                !(t.height_metres >= 0.0f) || t.length_metres > 1000.0f ||
                t.height_metres > 1000.0f) {
                error = "a target's position or size is out of range";
                return std::nullopt;
            }
            targets.push_back(t);
        }
    } catch (const nlohmann::json::exception& e) {
        error = std::string("not a truth file: ") + e.what();
        return std::nullopt;
    }
    return targets;
}

}  // namespace kelvanor::vkd
