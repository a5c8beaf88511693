// Writes the bundled sample photographs:
//   skin_sample.jpg   640 x 480  skin-like colour field with pores, fine lines, specular spots, noise
//   lesion_sample.jpg 320 x 240  a darker, irregular brown blob centred near (160, 120) on skin tone
// Everything comes from one fixed-seed generator of this program, so every run writes the same
// pixels and (with the same JPEG writer) the same bytes.
//
// Usage: make_samples [OUTPUT_DIR]   (default: the current directory)

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <stb_image_write.h>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kJpegQuality = 90;

// splitmix64: small, fast and fully determined by its seed.
class SampleRandom {
public:
    explicit SampleRandom(uint64_t seed) : state_(seed) {}
    uint64_t nextU64() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // A number in [0, 1).
    double uniform() { return double(nextU64() >> 11) * (1.0 / 9007199254740992.0); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    // Approximately standard normal (Irwin-Hall sum of twelve uniforms).
    double gaussian() {
        double s = 0.0;
        for (int i = 0; i < 12; ++i) s += uniform();
        return s - 6.0;
    }

private:
    uint64_t state_;
};

// A float field of w x h values.
struct Field {
    int w, h;
    std::vector<float> v;
    Field(int w_, int h_) : w(w_), h(h_), v(std::size_t(w_) * std::size_t(h_), 0.0f) {}
    float& at(int x, int y) { return v[std::size_t(y) * std::size_t(w) + std::size_t(x)]; }
    float at(int x, int y) const { return v[std::size_t(y) * std::size_t(w) + std::size_t(x)]; }
};

// An RGB picture with components in double, written out rounded and clamped to 0..255.
struct Rgb {
    int w, h;
    std::vector<double> r, g, b;
    Rgb(int w_, int h_)
        : w(w_), h(h_), r(std::size_t(w_) * h_), g(std::size_t(w_) * h_), b(std::size_t(w_) * h_) {}
    std::size_t idx(int x, int y) const { return std::size_t(y) * std::size_t(w) + std::size_t(x); }
    void add(int x, int y, double dr, double dg, double db) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        const std::size_t i = idx(x, y);
        r[i] += dr;
        g[i] += dg;
        b[i] += db;
    }
    // Moves the pixel towards (tr, tg, tb) by the fraction a.
    void blend(int x, int y, double tr, double tg, double tb, double a) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        const std::size_t i = idx(x, y);
        r[i] += (tr - r[i]) * a;
        g[i] += (tg - g[i]) * a;
        b[i] += (tb - b[i]) * a;
    }
    std::vector<unsigned char> bytes() const {
        std::vector<unsigned char> out(std::size_t(w) * h * 3);
        auto q = [](double c) { return (unsigned char)std::clamp(std::lround(c), 0L, 255L); };
        for (std::size_t i = 0; i < r.size(); ++i) {
            out[3 * i] = q(r[i]);
            out[3 * i + 1] = q(g[i]);
            out[3 * i + 2] = q(b[i]);
        }
        return out;
    }
};

double smooth(double t) { return t * t * (3.0 - 2.0 * t); }

// Value noise in -1..1: random values on a lattice of the given cell size, smoothly interpolated.
Field valueNoise(int w, int h, double cell, SampleRandom& rng) {
    const int lw = int(w / cell) + 3;
    const int lh = int(h / cell) + 3;
    std::vector<double> lattice(std::size_t(lw) * lh);
    for (double& l : lattice) l = rng.uniform(-1.0, 1.0);
    Field f(w, h);
    for (int y = 0; y < h; ++y) {
        const double fy = y / cell;
        const int iy = int(fy);
        const double ty = smooth(fy - iy);
        for (int x = 0; x < w; ++x) {
            const double fx = x / cell;
            const int ix = int(fx);
            const double tx = smooth(fx - ix);
            auto L = [&](int i, int j) { return lattice[std::size_t(j) * lw + i]; };
            const double top = L(ix, iy) + (L(ix + 1, iy) - L(ix, iy)) * tx;
            const double bottom = L(ix, iy + 1) + (L(ix + 1, iy + 1) - L(ix, iy + 1)) * tx;
            f.at(x, y) = float(top + (bottom - top) * ty);
        }
    }
    return f;
}

// Adds a round spot with a Gaussian profile: each channel changes by its delta times the profile.
void spot(Rgb& img, double cx, double cy, double radius, double dr, double dg, double db) {
    const int reach = int(std::ceil(radius * 2.5));
    for (int y = int(cy) - reach; y <= int(cy) + reach; ++y)
        for (int x = int(cx) - reach; x <= int(cx) + reach; ++x) {
            const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            const double a = std::exp(-d2 / (radius * radius));
            if (a > 0.01) img.add(x, y, dr * a, dg * a, db * a);
        }
}

// A bright highlight: blends the pixels towards near-white with a Gaussian profile.
void highlight(Rgb& img, double cx, double cy, double radius, double peak) {
    const int reach = int(std::ceil(radius * 2.5));
    for (int y = int(cy) - reach; y <= int(cy) + reach; ++y)
        for (int x = int(cx) - reach; x <= int(cx) + reach; ++x) {
            const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            const double a = peak * std::exp(-d2 / (radius * radius));
            if (a > 0.01) img.blend(x, y, 255.0, 251.0, 246.0, a);
        }
}

// Skin tone with slow variations of brightness and redness.
void paintSkinTone(Rgb& img, SampleRandom& rng, double baseR, double baseG, double baseB, double slow,
                   double redness) {
    const Field broad = valueNoise(img.w, img.h, 150.0, rng);
    const Field medium = valueNoise(img.w, img.h, 40.0, rng);
    const Field red = valueNoise(img.w, img.h, 90.0, rng);
    const Field bumps = valueNoise(img.w, img.h, 6.0, rng);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            const double light = slow * broad.at(x, y) + 0.35 * slow * medium.at(x, y) + 0.3 * slow * bumps.at(x, y);
            const double flush = redness * red.at(x, y);
            const std::size_t i = img.idx(x, y);
            img.r[i] = baseR + light + flush;
            img.g[i] = baseG + light * 0.95 - 0.4 * flush;
            img.b[i] = baseB + light * 0.9 - 0.3 * flush;
        }
}

// The fine furrows of the skin surface: families of wavy parallel lines whose depth fades in and
// out, so that they cross into the irregular rhombic pattern of real skin.
void paintSkinLines(Rgb& img, SampleRandom& rng) {
    struct Family {
        double angleDeg, spacing, width, depth;
    };
    const Family families[] = {{28.0, 26.0, 1.5, 13.0}, {118.0, 33.0, 1.6, 11.0}, {74.0, 13.0, 0.9, 5.0}};
    for (const Family& fam : families) {
        const Field wave = valueNoise(img.w, img.h, 38.0, rng);
        const Field fade = valueNoise(img.w, img.h, 45.0, rng);
        const double a = fam.angleDeg * kPi / 180.0;
        const double ca = std::cos(a), sa = std::sin(a);
        for (int y = 0; y < img.h; ++y)
            for (int x = 0; x < img.w; ++x) {
                const double u = x * ca + y * sa + 11.0 * wave.at(x, y);
                const double k = std::round(u / fam.spacing);
                const double dist = std::fabs(u - k * fam.spacing);
                const double strength = std::clamp(0.55 + 0.9 * fade.at(x, y), 0.0, 1.0);
                const double d = fam.depth * strength * std::exp(-(dist * dist) / (fam.width * fam.width));
                img.add(x, y, -0.9 * d, -d, -0.95 * d);
            }
    }
    // A few longer, deeper wrinkles running across the picture.
    for (int n = 0; n < 4; ++n) {
        const double y0 = rng.uniform(60.0, double(img.h) - 60.0);
        const double slope = rng.uniform(-0.25, 0.25);
        const double amp = rng.uniform(4.0, 12.0);
        const double period = rng.uniform(120.0, 260.0);
        const double phase = rng.uniform(0.0, 2.0 * kPi);
        const double depth = rng.uniform(18.0, 30.0);
        const double x0 = rng.uniform(-100.0, 200.0);
        const double x1 = x0 + rng.uniform(300.0, 600.0);
        for (int x = std::max(0, int(x0)); x < std::min(img.w, int(x1)); ++x) {
            const double yc = y0 + slope * (x - img.w / 2.0) + amp * std::sin(2.0 * kPi * x / period + phase);
            // Fade in and out at both ends.
            const double t = (x - x0) / (x1 - x0);
            const double taper = std::sin(kPi * t);
            for (int y = int(yc) - 4; y <= int(yc) + 4; ++y) {
                const double dist = y - yc;
                const double d = depth * taper * std::exp(-(dist * dist) / 2.0);
                img.add(x, y, -0.85 * d, -d, -0.9 * d);
            }
        }
    }
}

// Pores: small dark, slightly brown spots.
void paintPores(Rgb& img, SampleRandom& rng, int count) {
    for (int n = 0; n < count; ++n) {
        const double x = rng.uniform(0.0, img.w);
        const double y = rng.uniform(0.0, img.h);
        const double radius = rng.uniform(0.8, 2.2);
        const double depth = rng.uniform(12.0, 34.0);
        spot(img, x, y, radius, -0.75 * depth, -depth, -0.85 * depth);
    }
}

// Specular spots: an oily zone with a broad sheen and many small bright highlights.
void paintSpeculars(Rgb& img, SampleRandom& rng, double zoneX, double zoneY, double zoneRadius, int count) {
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            const double d2 = (x - zoneX) * (x - zoneX) + (y - zoneY) * (y - zoneY);
            const double sheen = 14.0 * std::exp(-d2 / (zoneRadius * zoneRadius));
            img.add(x, y, sheen, sheen, sheen);
        }
    for (int n = 0; n < count; ++n) {
        const double x = zoneX + 0.6 * zoneRadius * rng.gaussian();
        const double y = zoneY + 0.5 * zoneRadius * rng.gaussian();
        highlight(img, x, y, rng.uniform(0.8, 3.2), rng.uniform(0.45, 0.95));
    }
}

// Sensor noise: mostly in brightness, a little in colour.
void paintNoise(Rgb& img, SampleRandom& rng, double sigma) {
    for (std::size_t i = 0; i < img.r.size(); ++i) {
        const double l = sigma * rng.gaussian();
        img.r[i] += l + 0.35 * sigma * rng.gaussian();
        img.g[i] += l + 0.35 * sigma * rng.gaussian();
        img.b[i] += l + 0.35 * sigma * rng.gaussian();
    }
}

Rgb makeSkinSample() {
    SampleRandom rng(0x5EED0001ULL);
    Rgb img(640, 480);
    paintSkinTone(img, rng, 222.0, 170.0, 143.0, 11.0, 7.0);
    paintSkinLines(img, rng);
    paintPores(img, rng, 1100);
    paintSpeculars(img, rng, 440.0, 170.0, 110.0, 70);
    paintNoise(img, rng, 3.0);
    return img;
}

// The lesion's border radius at angle t: a few harmonics around 60 px (no first harmonic, so the
// blob stays centred).
double lesionRadius(double t) {
    return 60.0 + 5.0 * std::cos(3.0 * t + 0.4) + 3.5 * std::sin(5.0 * t + 1.1) + 2.0 * std::cos(7.0 * t + 2.0) +
           1.2 * std::sin(11.0 * t + 0.3);
}

Rgb makeLesionSample() {
    SampleRandom rng(0x5EED0002ULL);
    Rgb img(320, 240);
    paintSkinTone(img, rng, 226.0, 178.0, 152.0, 5.0, 4.0);
    const double cx = 160.0, cy = 120.0;
    const Field ragged = valueNoise(img.w, img.h, 7.0, rng);
    const Field mottle = valueNoise(img.w, img.h, 11.0, rng);
    const Field halo = valueNoise(img.w, img.h, 25.0, rng);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            const double dx = x - cx, dy = y - cy;
            const double r = std::sqrt(dx * dx + dy * dy);
            // Relative distance from the centre: 1 on the (ragged) border.
            const double d = r / lesionRadius(std::atan2(dy, dx)) + 0.045 * ragged.at(x, y);
            // Faint redness just around the lesion.
            if (d < 1.25) {
                const double a = 0.10 * smooth(std::clamp((1.25 - d) / 0.25, 0.0, 1.0)) * (1.0 + 0.5 * halo.at(x, y));
                img.blend(x, y, 205.0, 128.0, 112.0, a);
            }
            if (d < 1.04) {
                // Soft edge over a few pixels; darker towards the centre; mottled pigment.
                const double edge = smooth(std::clamp((1.04 - d) / 0.08, 0.0, 1.0));
                const double core = std::clamp(1.0 - d, 0.0, 1.0);
                const double m = 12.0 * mottle.at(x, y);
                const double tr = 132.0 - 42.0 * core + m;
                const double tg = 86.0 - 30.0 * core + 0.8 * m;
                const double tb = 62.0 - 22.0 * core + 0.6 * m;
                img.blend(x, y, tr, tg, tb, 0.95 * edge);
            }
        }
    // A few darker pigment dots inside the lesion.
    for (int n = 0; n < 25; ++n) {
        const double t = rng.uniform(0.0, 2.0 * kPi);
        const double rr = 0.8 * lesionRadius(t) * std::sqrt(rng.uniform());
        spot(img, cx + rr * std::cos(t), cy + rr * std::sin(t), rng.uniform(1.0, 2.5), -25.0, -18.0, -12.0);
    }
    paintNoise(img, rng, 2.0);
    return img;
}

bool writeJpeg(const Rgb& img, const std::filesystem::path& path) {
    const std::vector<unsigned char> data = img.bytes();
    if (!stbi_write_jpg(path.string().c_str(), img.w, img.h, 3, data.data(), kJpegQuality)) {
        std::fprintf(stderr, "make_samples: cannot write %s\n", path.string().c_str());
        return false;
    }
    std::printf("%s  %d x %d  %ju bytes\n", path.string().c_str(), img.w, img.h,
                std::uintmax_t(std::filesystem::file_size(path)));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path dir = argc > 1 ? argv[1] : ".";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "make_samples: cannot create %s: %s\n", dir.string().c_str(), ec.message().c_str());
        return 1;
    }
    bool ok = writeJpeg(makeSkinSample(), dir / "skin_sample.jpg");
    ok = writeJpeg(makeLesionSample(), dir / "lesion_sample.jpg") && ok;
    return ok ? 0 : 1;
}
