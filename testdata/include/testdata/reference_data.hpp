#pragma once
// The test data every suite shares: the folder of fixtures and reference results, the reference
// results of the independent implementation (reference/expected.json), and the two scripted lesion
// analyses the tests repeat: the reference one on reference/lesion.jpg and the one on the bundled
// lesion sample. Header-only; reads JSON with nlohmann-json.

#include <array>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace morph::testdata {

// A file of the shared test-data folder, e.g. path("reference/lesion.jpg").
inline std::string path(const std::string& relative) { return std::string(MORPH_TESTDATA_DIR) + "/" + relative; }

// A bundled sample photograph, e.g. samplePath("lesion_sample.jpg").
inline std::string samplePath(const std::string& name) { return std::string(MORPH_SAMPLES_DIR) + "/" + name; }

inline nlohmann::json readJson(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + file);
    return nlohmann::json::parse(in);
}

// reference/expected.json, read once.
inline const nlohmann::json& referenceResults() {
    static const nlohmann::json results = readJson(path("reference/expected.json"));
    return results;
}

// The texturemeter runs of the reference results (one object per run).
inline const nlohmann::json& texturemeterReferenceRuns() { return referenceResults().at("texturemeter"); }

struct Click {
    int x = 0;
    int y = 0;
};

// One scripted lesion analysis: IN samples, OUT samples, the right-clicked centre, the seed.
struct LesionScenario {
    std::string image;  // full path of the photograph
    std::vector<Click> in;
    std::vector<Click> out;
    Click centre;
    uint64_t seed = 1;
};

// The reference analysis and what the independent implementation computed for it.
struct LesionReference : LesionScenario {
    // The discriminant of "Calc + Draw": red, green, blue, then the squared terms' weights.
    std::array<float, 6> weights{};
    std::string inMeansText;   // Text10
    std::string outMeansText;  // Text11
    // The four strip dimensions in the order the window shows them (Text16..Text19):
    // Picture16, Picture15, Picture17, Picture18.
    std::array<double, 4> strips{};
    double frd2 = 0;       // mean of the strips
    double frd1 = 0;       // outline dimension (no spread over the fringe dithers)
    double centroidX = 0;  // Text14
    double centroidY = 0;  // Text15
};

namespace detail {
inline Click click(const nlohmann::json& xy) { return {xy.at(0).get<int>(), xy.at(1).get<int>()}; }
inline std::vector<Click> clicks(const nlohmann::json& list) {
    std::vector<Click> out;
    for (const auto& xy : list) out.push_back(click(xy));
    return out;
}
// A value the reference saw without spread over its dithered runs.
inline double exact(const nlohmann::json& spread) {
    if (spread.at("std").get<double>() != 0) throw std::runtime_error("reference value has a spread");
    return spread.at("mean").get<double>();
}
}  // namespace detail

inline const LesionReference& lesionReference() {
    static const LesionReference reference = [] {
        const nlohmann::json& r = referenceResults().at("lesionmeter").at(0);
        LesionReference s;
        s.image = path("reference/" + r.at("image").get<std::string>());
        s.in = detail::clicks(r.at("in"));
        s.out = detail::clicks(r.at("out"));
        s.centre = detail::click(r.at("centre"));
        s.seed = 1;
        const nlohmann::json& w = r.at("weights");
        int i = 0;
        for (const char* name : {"weightRed", "weightGreen", "weightBlue", "squareWeightRed", "squareWeightGreen",
                                 "squareWeightBlue"})
            s.weights[i++] = w.at(name).get<float>();
        s.inMeansText = r.at("Text10").get<std::string>();
        s.outMeansText = r.at("Text11").get<std::string>();
        i = 0;
        for (const char* name : {"Picture16", "Picture15", "Picture17", "Picture18"})
            s.strips[i++] = r.at("strips").at(name).get<double>();
        s.frd2 = r.at("FRD2").get<double>();
        s.frd1 = detail::exact(r.at("FRD1"));
        s.centroidX = detail::exact(r.at("centroidX"));
        s.centroidY = detail::exact(r.at("centroidY"));
        return s;
    }();
    return reference;
}

// The analysis of the bundled lesion sample: five clicks inside the brown blob, five on the skin
// around it, the centre at the blob's middle.
inline const LesionScenario& lesionSample() {
    static const LesionScenario sample{samplePath("lesion_sample.jpg"),
                                       {{160, 120}, {150, 110}, {170, 125}, {155, 130}, {165, 115}},
                                       {{40, 40}, {280, 40}, {40, 200}, {280, 200}, {160, 20}},
                                       {160, 120},
                                       1};
    return sample;
}

}  // namespace morph::testdata
