// A peer for the surface dimensions: Gwyddion's triangulation and cube-counting dimensions of
// height fields. Each argument is a file of side x side little-endian doubles (row by row),
// the heights of one field with a sampling step of 1; prints one line per file:
// FILE,triangulation,cubeCounting.

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

extern "C" {
#include <libgwyddion/gwyddion.h>
#include <libprocess/gwyprocess.h>
}

namespace {

bool readField(const char* path, std::vector<double>& heights) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamsize bytes = in.tellg();
    heights.resize(std::size_t(bytes) / sizeof(double));
    in.seekg(0);
    return bool(in.read(reinterpret_cast<char*>(heights.data()), std::streamsize(heights.size() * sizeof(double))));
}

// One method's dimension: its log-log points, then its own fit and formula.
template <typename Points, typename Dimension>
double dimensionOf(GwyDataField* field, Points points, Dimension dimension) {
    GwyDataLine* x = gwy_data_line_new(1, 1.0, FALSE);
    GwyDataLine* y = gwy_data_line_new(1, 1.0, FALSE);
    points(field, x, y, GWY_INTERPOLATION_LINEAR);
    double a = 0, b = 0;
    const double d = dimension(x, y, &a, &b);
    g_object_unref(x);
    g_object_unref(y);
    return d;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: validation_gwyddion_peer HEIGHTS.f64...\n");
        return 2;
    }
    gwy_process_type_init();
    std::vector<double> heights;
    for (int i = 1; i < argc; ++i) {
        if (!readField(argv[i], heights)) {
            std::fprintf(stderr, "validation_gwyddion_peer: cannot read %s\n", argv[i]);
            return 1;
        }
        const int side = int(std::lround(std::sqrt(double(heights.size()))));
        if (side < 2 || std::size_t(side) * std::size_t(side) != heights.size()) {
            std::fprintf(stderr, "validation_gwyddion_peer: %s is not a square field\n", argv[i]);
            return 1;
        }
        GwyDataField* field = gwy_data_field_new(side, side, side, side, FALSE);
        double* data = gwy_data_field_get_data(field);
        for (std::size_t k = 0; k < heights.size(); ++k) data[k] = heights[k];
        gwy_data_field_invalidate(field);
        const double triangulation =
            dimensionOf(field, gwy_data_field_fractal_triangulation, gwy_data_field_fractal_triangulation_dim);
        const double cubeCounting =
            dimensionOf(field, gwy_data_field_fractal_cubecounting, gwy_data_field_fractal_cubecounting_dim);
        std::printf("%s,%.17g,%.17g\n", argv[i], triangulation, cubeCounting);
        g_object_unref(field);
    }
    return 0;
}
