// lesionmeter-cli: runs one scripted lesion analysis and prints its results.

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>

#include "scripted_analysis.hpp"

int main(int argc, char** argv) {
    using namespace lesionmeter::cli;
    CLI::App app{"Lesion analysis of one photograph: IN and OUT colour samples, \"Calc + Draw\", "
                 "\"LINE\", \"Fractal calc\" and \"axis\"",
                 "lesionmeter-cli"};
    ScriptedAnalysis script;
    std::vector<std::string> in, out;
    std::string centre, csv;
    uint64_t seed = 0;
    app.add_option("IMAGE", script.image, "photograph (JPEG or BMP)")->required();
    app.add_option("--in", in, "an IN sample position X,Y (repeat for more samples, at most 50)")
        ->required()
        ->take_all();
    app.add_option("--out", out, "an OUT sample position X,Y (repeat for more samples, at most 50)")
        ->required()
        ->take_all();
    app.add_option("--centre", centre, "reference centre X,Y (right click)");
    auto* seedOption = app.add_option("--seed", seed, "fixed seed for the random generator (default: the clock)");
    app.add_option("--save-map", script.saveMap, "write the lesion map (Picture2) as BMP");
    app.add_option("--save-outline", script.saveOutline, "write the outline (Picture12) as BMP");
    app.add_option("--csv", csv, "append the results as one row (header when the file is new)");
    CLI11_PARSE(app, argc, argv);

    try {
        for (const auto& p : in) script.in.push_back(parsePosition(p));
        for (const auto& p : out) script.out.push_back(parsePosition(p));
        if (!centre.empty()) script.centre = parsePosition(centre);
        if (*seedOption) script.seed = seed;
        const AnalysisResults results = runScriptedAnalysis(script);
        printResults(std::cout, results);
        if (!csv.empty()) appendCsv(csv, results);
        if (!results.axisError.empty()) {
            std::cerr << "lesionmeter-cli: " << results.axisError << "\n";
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "lesionmeter-cli: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
