#include "report.hpp"

#include <filesystem>

namespace lesionmeter::cli {

namespace {

Json positionJson(const Position& p) { return Json::array({imaging::exactNumber(p.first), imaging::exactNumber(p.second)}); }

Json positionsJson(const std::vector<Position>& positions) {
    Json list = Json::array();
    for (const Position& p : positions) list.push_back(positionJson(p));
    return list;
}

Json nameOrNull(const std::string& name) { return name.empty() ? Json() : Json(name); }

}  // namespace

Json reportHead(const RunParameters& p, std::optional<uint64_t> seed, const std::string& seedSource) {
    Json parameters = {
        {"in", positionsJson(p.in)},
        {"out", positionsJson(p.out)},
        {"centre", p.centre ? positionJson(*p.centre) : Json()},
        {"marks", nameOrNull(p.marks)},
        {"fit", p.fit},
        {"seed", p.seed ? Json(*p.seed) : Json()},
        {"jobs", p.jobs ? Json(p.jobs) : Json()},
        {"csv", nameOrNull(p.csv)},
        {"saveMap", nameOrNull(p.saveMap)},
        {"saveOutline", nameOrNull(p.saveOutline)},
        {"saveMarks", nameOrNull(p.saveMarks)},
    };
    return {{"program", "lesionmeter-cli"},
            {"version", std::string(imaging::programVersion())},
            {"parameters", std::move(parameters)},
            {"seed", seed ? Json(*seed) : Json()},
            {"seedSource", seedSource},
            {"images", Json::array()}};
}

Json reportImage(const ImageOutcome& o) {
    Json entry = imaging::imageEntry(std::filesystem::path(o.path).filename().string(), o.path);
    entry["seed"] = o.seed ? Json(*o.seed) : Json();
    entry["seedSource"] = o.seed ? Json(o.seedSource) : Json();
    entry["scale"] = o.scale ? Json(*o.scale) : Json();
    entry["exifOrientation"] = o.exifOrientation;
    if (o.measurements) entry["measurements"] = o.fits ? toJson(*o.measurements, *o.fits) : toJson(*o.measurements);
    if (!o.error.empty()) entry["error"] = o.error;
    return entry;
}

}  // namespace lesionmeter::cli
