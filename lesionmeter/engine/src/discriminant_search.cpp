// The colour discriminant search of "Calc + Draw": a polarity phase, an acceptance phase that
// collects up to seven weight sets separating the inside from the outside samples, and the
// selection of the set with the smallest margin (the later one on ties).

#include <algorithm>

#include "imaging/numeric.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {

namespace {

// The first n samples of both classes as doubles, so the inner loop converts nothing.
struct SamplePairs {
    int n = 0;
    std::array<double, 7> inR{}, inG{}, inB{}, outR{}, outG{}, outB{};
};

SamplePairs samplePairs(const AnalysisState& state, int n) {
    SamplePairs p;
    p.n = n;
    for (int k = 1; k <= n; ++k) {
        p.inR[k] = state.inRed[k];
        p.inG[k] = state.inGreen[k];
        p.inB[k] = state.inBlue[k];
        p.outR[k] = state.outRed[k];
        p.outG[k] = state.outGreen[k];
        p.outB[k] = state.outBlue[k];
    }
    return p;
}

template <typename Random>
WeightSet drawSet(Random& random) {
    WeightSet w;
    w.wR = random.next() - 0.5;
    w.wG = random.next() - 0.5;
    w.wB = random.next() - 0.5;
    w.qR = (random.next() - 0.5) / 2.0;
    w.qG = (random.next() - 0.5) / 2.0;
    w.qB = (random.next() - 0.5) / 2.0;
    return w;
}

// Separated pairs, stopping early once two pairs fail (the set can then no longer be accepted
// and its margin is never used). Returns whether the set is accepted.
bool acceptedBy(const WeightSet& w, const SamplePairs& p, int polarity, double& lastMargin) {
    int failures = 0;
    double si = 0.0, so = 0.0;
    for (int k = 1; k <= p.n; ++k) {
        si = discriminantScore(w, p.inR[k], p.inG[k], p.inB[k]);
        so = discriminantScore(w, p.outR[k], p.outG[k], p.outB[k]);
        const bool separated = polarity == 1 ? (si > 0.0 && so < 0.0) : (si < 0.0 && so > 0.0);
        if (!separated && ++failures >= 2 && p.n >= 2) return false;
    }
    lastMargin = si - so;
    return acceptsSet(p.n - failures, p.n);
}

template <typename Random>
int polarityPhase(Random& random, const SamplePairs& p) {
    long long pos = 0, neg = 0;
    for (int set = 0; set < 1000; ++set) {
        const WeightSet w = drawSet(random);
        for (int k = 1; k <= p.n; ++k) {
            const double s = discriminantScore(w, p.inR[k], p.inG[k], p.inB[k]);
            if (s > 0.0) ++pos;
            if (s < 0.0) ++neg;
        }
    }
    return pos > neg ? 1 : 0;
}

Discriminant asStored(const WeightSet& w) {
    return {static_cast<float>(w.wR), static_cast<float>(w.wG), static_cast<float>(w.wB),
            static_cast<float>(w.qR), static_cast<float>(w.qG), static_cast<float>(w.qB)};
}

template <typename Random>
void acceptancePhase(Random& random, const SamplePairs& p, SearchResult& result,
                     const std::function<void(const AcceptedSet&)>& onAccepted, long long iterationLimit) {
    int m = 0;
    long long t = 0;
    while (m <= 6) {
        const WeightSet w = drawSet(random);
        double margin = 0.0;
        if (acceptedBy(w, p, result.insidePolarity, margin)) {
            ++m;
            result.candidates[m] = asStored(w);
            result.margins[m] = static_cast<float>(margin);
            if (onAccepted) onAccepted({m, t + 1, w.wR, w.wG, w.wB, w.qR, w.qG, w.qB, result.margins[m]});
        }
        ++t;
        result.iterations = t;
        if (t > iterationLimit) break;
    }
    result.accepted = m;
}

}  // namespace

int samplePairCount(const AnalysisState& state) {
    int n = std::min<int>(state.inCount, state.outCount);
    if (n > 6) n = 6;
    return n;
}

WeightSet drawWeightSet(imaging::UniformRandom& random) { return drawSet(random); }

int separatedPairs(const WeightSet& w, const AnalysisState& state, int n, int insidePolarity, double& lastMargin) {
    int correct = 0;
    double si = 0.0, so = 0.0;
    for (int k = 1; k <= n; ++k) {
        si = discriminantScore(w, state.inRed[k], state.inGreen[k], state.inBlue[k]);
        so = discriminantScore(w, state.outRed[k], state.outGreen[k], state.outBlue[k]);
        if (insidePolarity == 1 && si > 0.0 && so < 0.0) ++correct;
        if (insidePolarity == 0 && si < 0.0 && so > 0.0) ++correct;
    }
    lastMargin = si - so;
    return correct;
}

int insidePolarityOf(imaging::UniformRandom& random, const AnalysisState& state, int n) {
    const SamplePairs p = samplePairs(state, n);
    if (auto* fast = dynamic_cast<imaging::FastRandom*>(&random)) return polarityPhase(*fast, p);
    return polarityPhase(random, p);
}

Selection selectCandidate(const std::array<float, 8>& margins, int m) {
    // Selection sort of a copy, ascending; the minimum is its first entry.
    std::array<float, 101> sorted{};
    for (int i = 1; i <= m; ++i) sorted[i] = margins[i];
    for (int i = 1; i <= m; ++i) {
        int smallest = i;
        for (int j = i + 1; j <= m; ++j)
            if (sorted[j] < sorted[smallest]) smallest = j;
        std::swap(sorted[i], sorted[smallest]);
    }
    Selection s;
    s.minimum = m >= 1 ? sorted[1] : 0.0f;
    for (int i = 1; i <= m; ++i)
        if (margins[i] == s.minimum) s.index = i;
    return s;
}

SearchResult searchDiscriminant(const AnalysisState& state, imaging::UniformRandom& random,
                                const std::function<void()>& beforeAcceptance,
                                const std::function<void(const AcceptedSet&)>& onAccepted,
                                long long iterationLimit) {
    SearchResult result;
    const SamplePairs p = samplePairs(state, samplePairCount(state));
    auto* fast = dynamic_cast<imaging::FastRandom*>(&random);
    result.insidePolarity = fast ? polarityPhase(*fast, p) : polarityPhase(random, p);
    if (beforeAcceptance) beforeAcceptance();
    if (fast)
        acceptancePhase(*fast, p, result, onAccepted, iterationLimit);
    else
        acceptancePhase(random, p, result, onAccepted, iterationLimit);
    result.selection = selectCandidate(result.margins, result.accepted);
    result.chosen = result.candidates[result.selection.index];
    return result;
}

float sampleMean(const std::array<float, 51>& values, int n) {
    float sum = 0.0f;
    for (int k = 1; k <= n; ++k) sum += values[std::size_t(k)];
    return sum / static_cast<float>(n);
}

std::string sampleMeansText(const std::string& prefix, const std::array<float, 51>& red,
                            const std::array<float, 51>& green, const std::array<float, 51>& blue, int n) {
    auto mean = [n](const std::array<float, 51>& values) { return sampleMean(values, n); };
    // A leading blank for a value that is not negative, the sign otherwise; no trailing blank.
    auto field = [](float v) { return (v < 0.0f ? "" : " ") + imaging::numberText(v); };
    return prefix + field(mean(red)) + "  G:" + field(mean(green)) + "  B:" + field(mean(blue));
}

}  // namespace lesionmeter
