#pragma once
// A whole lesion analysis of one photograph from its marks, as the analysis steps: the photograph
// loaded (reduced to fit when asked), the marks placed, then the lesion map ("Calc + Draw"), its
// outline ("LINE"), the dimensions ("Fractal calc") and the axis, in the order a user runs them.

#include <string>

#include "lesionmeter/lesion_analysis.hpp"
#include "lesionmeter/marks.hpp"

namespace lesionmeter {

// What a tool says when "axis" finds no centroid (the window's advice, to draw the outline or
// reload it, means nothing without a window): because the discriminant classified no pixel as
// lesion, or (rarely) because the outline of a lesion map lies outside x, y = 1..300.
extern const char* const kNoLesionPixelMessage;
extern const char* const kNoDarkPixelMessage;

// How a route names marks it read from a file or took from its caller ("m.marks.json" after the
// label "--marks "), for the refusal of marks made for another photograph (checkMarksPhoto).
// Without a name they are not compared: marks made from positions given for this photograph.
struct MarksName {
    std::string name;
    std::string label;
};

// Runs the analysis on `analysis` (set its seed first). Returns, when "axis" found no dark pixel
// in the outline (the other results stand), kNoLesionPixelMessage or kNoDarkPixelMessage;
// otherwise "". Every other failure is thrown as imaging::RunError: a photograph that cannot be
// loaded first, then marks named by `marksName` whose photo is another photograph.
std::string analyseWithMarks(LesionAnalysis& analysis, const std::string& photoPath, const Marks& marks,
                             bool fitToMap, const MarksName& marksName = {});
// The same for a photograph already decoded (its pixels), loaded under the marks' photo name.
std::string analyseWithMarks(LesionAnalysis& analysis, imaging::Image photograph, const Marks& marks, bool fitToMap);

}  // namespace lesionmeter
