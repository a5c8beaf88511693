// lesionmeter-cli: lesion analyses without a window. One photograph with its samples given on the
// command line or in a marks file, its results printed; or several photographs, each with its
// marks file beside it, analysed in parallel into one results file.

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <exception>
#include <iostream>

#include "batch.hpp"
#include "imaging/errors.hpp"
#include "lesionmeter/marks.hpp"
#include "scripted_analysis.hpp"

int main(int argc, char** argv) {
    using namespace lesionmeter::cli;
    CLI::App app{"Lesion analysis: IN and OUT colour samples, \"Calc + Draw\", \"LINE\", \"Fractal calc\" and "
                 "\"axis\".\n"
                 "  lesionmeter-cli IMAGE --in X,Y ... --out X,Y ... [--centre X,Y]   samples given here\n"
                 "  lesionmeter-cli IMAGE --marks FILE                                 samples of a marks file\n"
                 "  lesionmeter-cli [--jobs N] --csv OUT.csv PHOTO...                  each PHOTO with its\n"
                 "                                                                     DIR/NAME.marks.json",
                 "lesionmeter-cli"};
    ScriptedAnalysis script;
    std::vector<std::string> images, in, out;
    std::string centre, csv, marksFile, saveMarks;
    uint64_t seed = 0;
    unsigned jobs = 0;
    app.add_option("IMAGE", images, "photograph(s) (JPEG or BMP)")->required();
    auto* inOption = app.add_option("--in", in, "an IN sample position X,Y (repeat for more samples, at most 50)")
                         ->take_all();
    auto* outOption = app.add_option("--out", out, "an OUT sample position X,Y (repeat for more samples, at most 50)")
                          ->take_all();
    auto* centreOption = app.add_option("--centre", centre, "reference centre X,Y (right click)");
    auto* marksOption = app.add_option("--marks", marksFile, "analyse with the samples and centre of a marks file")
                            ->excludes(inOption)
                            ->excludes(outOption)
                            ->excludes(centreOption);
    app.add_option("--save-marks", saveMarks, "write the samples, centre and seed of the run as a marks file");
    auto* seedOption = app.add_option("--seed", seed,
                                      "seed of \"Calc + Draw\" (default: the marks' seed, else the clock's)");
    app.add_flag("--fit", script.fit, "reduce a photograph larger than 500 x 503 pixels to fit (area averaging)");
    app.add_option("--jobs", jobs, "photographs analysed at once (default: one per core)")
        ->check(CLI::Range(1u, 1024u));
    app.add_option("--save-map", script.saveMap, "write the lesion map (the \"B+W\" view, 313 x 305) as BMP");
    app.add_option("--save-outline", script.saveOutline, "write the outline (the \"LINE\" view, 313 x 305) as BMP");
    app.add_option("--csv", csv, "append the results as one row per photograph (header when the file is new)");
    CLI11_PARSE(app, argc, argv);

    // Several photographs, or one without samples: each with the marks file beside it.
    const bool batchMode = images.size() > 1 || (in.empty() && out.empty() && !*marksOption);
    if (batchMode) {
        if (csv.empty()) {
            std::cerr << "lesionmeter-cli: several photographs (or one without --in/--out/--marks) need --csv OUT.csv\n";
            return 2;
        }
        if (*centreOption || !script.saveMap.empty() || !script.saveOutline.empty() || !saveMarks.empty()) {
            std::cerr << "lesionmeter-cli: --centre, --save-map, --save-outline and --save-marks take one photograph "
                         "with its samples\n";
            return 2;
        }
        Batch batch;
        batch.photos = images;
        batch.csv = csv;
        if (*seedOption) batch.seed = seed;
        batch.fit = script.fit;
        batch.jobs = jobs;
        const bool terminal = ::isatty(STDERR_FILENO) == 1;
        return runBatch(batch, std::cerr, &std::cerr, terminal) == 0 ? 0 : 1;
    }

    if (in.empty() != out.empty() && !*marksOption) {
        std::cerr << "lesionmeter-cli: give both --in and --out samples, or --marks FILE\n";
        return 2;
    }
    try {
        script.image = images.front();
        for (const auto& p : in) script.in.push_back(parsePosition(p));
        for (const auto& p : out) script.out.push_back(parsePosition(p));
        if (!centre.empty()) script.centre = parsePosition(centre);
        if (*marksOption) script.marks = lesionmeter::readMarks(marksFile);
        if (*seedOption) script.seed = seed;
        const AnalysisResults results = runScriptedAnalysis(script);
        printResults(std::cout, results);
        // A seed drawn from the clock is reported, so that the run can be repeated with it.
        if (!script.seed && !(script.marks && script.marks->seed))
            std::cerr << "lesionmeter-cli: seed " << results.record.marks.seed.value_or(0) << "\n";
        if (!csv.empty()) appendCsv(csv, results);
        if (!saveMarks.empty()) lesionmeter::writeMarks(saveMarks, results.record.marks);
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
