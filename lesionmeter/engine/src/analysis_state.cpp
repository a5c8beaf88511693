#include "lesionmeter/analysis_state.hpp"

namespace lesionmeter {

void AnalysisState::resetForNewImage() {
    scanWidth = 0.0f;
    scanHeight = 0.0f;
    inCount = 0;
    outCount = 0;
    inRed.fill(0.0f);
    inGreen.fill(0.0f);
    inBlue.fill(0.0f);
    outRed.fill(0.0f);
    outGreen.fill(0.0f);
    outBlue.fill(0.0f);
    weightRed = 0.0f;
    weightGreen = 0.0f;
    weightBlue = 0.0f;
    outX.fill(0.0f);
    outY.fill(0.0f);
    inX.fill(0.0f);
    inY.fill(0.0f);
}

}  // namespace lesionmeter
