#pragma once
// Helpers shared by the engine tests: a private scratch folder per test and scripted runs.

#include <string>

#include "lesionmeter/lesion_session.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/scratch_folder.hpp"

namespace lesionmeter::testing {

using morph::testdata::ScratchFolder;

// "File", load the scenario's photograph, sample IN and OUT, right-click the centre.
void loadAndSample(LesionSession& session, const morph::testdata::LesionScenario& scenario);

// The reference discriminant of "Calc + Draw".
Discriminant referenceWeights(const morph::testdata::LesionReference& reference);

}  // namespace lesionmeter::testing
