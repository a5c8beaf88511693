#pragma once
// The one table of texture measurement names. The JSON report (texturemeter-cli --json), the
// measurements read back from it, and the Python package's keys and batch columns (which take
// the JSON's names) all name the measurements through these visits, so each name is written
// once.
//
// visitMeasurements(m, group, value) calls group(name, visitOfGroup) for each nested group
// ("monochrome", "hessian", "tone", "sampling") and value(name, member) for each number of the
// whole analysis; visitFields(group, value) calls value(name, member) for each number of one
// group. `member` is a reference to the float, double or interval member, const when `m` is.

#include <type_traits>

#include "texturemeter/measurements.hpp"

namespace texturemeter {

template <class Dimension, class Value,
          std::enable_if_t<std::is_same_v<std::remove_const_t<Dimension>, TiledDimension>, int> = 0>
void visitFields(Dimension& d, Value&& value) {
    value("meanDimension", d.meanDimension);
    value("dimensionSd", d.dimensionSd);
    value("sdToMean", d.sdToMean);
    value("heightSd", d.heightSd);
    value("meanDimensionCi95", d.meanDimensionCi95);
}

template <class Tone, class Value, std::enable_if_t<std::is_same_v<std::remove_const_t<Tone>, ToneStatistics>, int> = 0>
void visitFields(Tone& t, Value&& value) {
    value("deviation", t.deviation);
    value("histogramSpread", t.histogramSpread);
}

template <class Sampling, class Value,
          std::enable_if_t<std::is_same_v<std::remove_const_t<Sampling>, TextureSampling>, int> = 0>
void visitFields(Sampling& s, Value&& value) {
    value("meanBrightness", s.meanBrightness);
    value("darkFrameShareR2", s.darkFrameShareR2);
    value("darkFrameShareR4", s.darkFrameShareR4);
    value("darkFrameShareR6", s.darkFrameShareR6);
    value("darkFrameShareR8", s.darkFrameShareR8);
    value("darkFrameShareR10", s.darkFrameShareR10);
    value("darkLineShare", s.darkLineShare);
    value("boxDarknessMean", s.boxDarknessMean);
    value("boxDarknessSd", s.boxDarknessSd);
    value("ringBrightnessR5to11", s.ringBrightnessR5to11);
    value("ringBrightnessR23to29", s.ringBrightnessR23to29);
    value("ringBrightnessR41to47", s.ringBrightnessR41to47);
}

// The whole analysis, in the order the report lists it: group(name, g) receives each group
// itself (a TiledDimension, ToneStatistics or TextureSampling, visited with visitFields).
template <class Measurements, class Group, class Value,
          std::enable_if_t<std::is_same_v<std::remove_const_t<Measurements>, TextureMeasurements>, int> = 0>
void visitMeasurements(Measurements& m, Group&& group, Value&& value) {
    group("monochrome", m.monochrome);
    group("hessian", m.hessian);
    value("totalDimension", m.totalDimension);
    value("lineShare", m.lineShare);
    value("dotShare", m.dotShare);
    value("outlineDimension", m.outlineDimension);
    group("tone", m.tone);
    group("sampling", m.sampling);
}

}  // namespace texturemeter
