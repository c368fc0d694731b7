#include "SpectrumSource.h"

#include <algorithm>
#include <cmath>

#include "RandomStream.h"

namespace drelm::emu {
namespace {

// The shape is tabulated in bins of 16 amplitude units up to twice the
// 14-bit range; what lies beyond reads as far over full scale.
constexpr uint32_t kBinWidth = 16;
constexpr uint32_t kBins = 4096;  // up to 65536 units
constexpr uint32_t kTableEntries = 65536;
constexpr float kOverflow = SpectrumSource::kOverRange;
constexpr double kElectronMassKeV = 511.0;
constexpr double kFwhmPerSigma = 2.3548;

// Probability that a Gaussian of mean mu and width sigma falls in [a, b).
double GaussianMass(double a, double b, double mu, double sigma) {
    const double s = sigma * std::sqrt(2.0);
    return 0.5 * (std::erf((b - mu) / s) - std::erf((a - mu) / s));
}

// Energy given to the electron by Compton scattering (Klein-Nishina), as a
// density in the electron's kinetic energy t, up to the Compton edge.
double KleinNishina(double t, double e0) {
    const double alpha = e0 / kElectronMassKeV;
    const double edge = e0 * 2 * alpha / (1 + 2 * alpha);
    if (t < 0 || t > edge) return 0;
    const double s = t / e0;
    return 2 + s * s / (alpha * alpha * (1 - s) * (1 - s)) + s / (1 - s) * (s - 2 / alpha);
}

void Normalize(std::vector<double>& density, double weight) {
    double sum = 0;
    for (double d : density) sum += d;
    for (double& d : density) d = sum > 0 ? d * weight / sum : 0;
}

}  // namespace

SpectrumSource::SpectrumSource(const BoardConfig& config, uint64_t seed) {
    pedestalCut_ = (100 - std::min<uint32_t>(config.hitPercent, 100)) * kTableEntries / 100;
    BuildQuantiles(config);
    // The gain of each channel is fixed by the seed: the same board shows
    // the same channel-to-channel differences on every run.
    const double spread = std::min<uint32_t>(config.gainSpreadPermille, 500) / 1000.0;
    uint64_t state = seed ^ 0x6A09E667F3BCC909ull;
    for (double& gain : gain_) {
        const double u = static_cast<double>(RandomStream::SplitMix(state) >> 11) * 0x1.0p-53;  // [0, 1)
        gain = 1.0 + spread * (2 * u - 1);
    }
}

void SpectrumSource::BuildQuantiles(const BoardConfig& config) {
    const double gain = std::max<uint32_t>(config.gainPerMeV, 1) / 1000.0;  // units per keV
    const double e0 = std::max<uint32_t>(config.photopeakKeV, 1);
    const double peak = e0 * gain;
    const double fwhm = std::min<uint32_t>(config.resolutionPermille, 1000) / 1000.0 * peak;
    const double sigma = std::max(fwhm / kFwhmPerSigma, 1.0);
    const double slope = std::max<uint32_t>(config.backgroundSlopeKeV, 1) * gain;
    double peakWeight = std::min<uint32_t>(config.photopeakPercent, 100);
    double backgroundWeight = std::min<uint32_t>(config.backgroundPercent, 100);
    double comptonWeight = std::max(0.0, 100 - peakWeight - backgroundWeight);

    // Each part over the bins plus one overflow bin for what lies beyond.
    std::vector<double> total(kBins + 1, 0.0);
    auto add = [&](std::vector<double> part, double weight) {
        Normalize(part, weight);
        for (uint32_t b = 0; b <= kBins; ++b) total[b] += part[b];
    };
    const double top = double{kBins} * kBinWidth;
    {
        std::vector<double> part(kBins + 1);
        for (uint32_t b = 0; b < kBins; ++b) part[b] = GaussianMass(b * kBinWidth, (b + 1) * kBinWidth, peak, sigma);
        part[kBins] = GaussianMass(top, top + 100 * sigma + peak, peak, sigma);
        if (peak - 10 * sigma > top) part[kBins] = 1;
        add(std::move(part), peakWeight);
    }
    {
        // The continuum: Compton energies integrated in steps of energy, then
        // smeared by the detector's resolution.
        std::vector<double> raw(kBins + 1, 0.0), part(kBins + 1, 0.0);
        const double alpha = e0 / kElectronMassKeV;
        const double edge = e0 * 2 * alpha / (1 + 2 * alpha);
        constexpr int kSteps = 8192;
        for (int j = 0; j < kSteps; ++j) {
            const double t = (j + 0.5) * edge / kSteps;
            const double bin = t * gain / kBinWidth;
            raw[bin >= kBins ? kBins : static_cast<uint32_t>(bin)] += KleinNishina(t, e0);
        }
        part[kBins] = raw[kBins];
        const int reach = std::min(static_cast<int>(std::ceil(4 * sigma / kBinWidth)) + 1, static_cast<int>(kBins));
        std::vector<double> kernel(2 * static_cast<std::size_t>(reach) + 1);
        for (int d = -reach; d <= reach; ++d)
            kernel[static_cast<std::size_t>(d + reach)] = GaussianMass(
                d * double{kBinWidth} - kBinWidth / 2.0, d * double{kBinWidth} + kBinWidth / 2.0, 0, sigma);
        for (int b = 0; b < static_cast<int>(kBins) && comptonWeight > 0; ++b) {
            if (raw[b] == 0) continue;
            for (int d = -reach; d <= reach; ++d)
                part[std::clamp(b + d, 0, static_cast<int>(kBins))] += raw[b] * kernel[static_cast<std::size_t>(d + reach)];
        }
        add(std::move(part), comptonWeight);
    }
    {
        std::vector<double> part(kBins + 1);
        for (uint32_t b = 0; b < kBins; ++b)
            part[b] = std::exp(-double(b * kBinWidth) / slope) - std::exp(-double((b + 1) * kBinWidth) / slope);
        part[kBins] = std::exp(-top / slope);
        add(std::move(part), backgroundWeight);
    }

    // Quantiles: place i holds the amplitude below which a fraction
    // (i - first) / places of the hits lie; the top saturationPermille of
    // the hit places are over range.
    std::vector<double> cumulative(kBins + 2, 0.0);
    for (uint32_t b = 0; b <= kBins; ++b) cumulative[b + 1] = cumulative[b] + total[b];
    quantiles_.assign(kTableEntries + 1, kOverflow);
    const uint32_t first = std::min(pedestalCut_, kTableEntries - 1);
    const uint32_t hitPlaces = kTableEntries - first;
    const uint32_t overRange = static_cast<uint32_t>(
        uint64_t{hitPlaces} * std::min<uint32_t>(config.saturationPermille, 1000) / 1000);
    const uint32_t places = hitPlaces - overRange;
    const double all = cumulative[kBins + 1];
    uint32_t bin = 0;
    for (uint32_t i = first; i <= first + places && places > 0 && all > 0; ++i) {
        const double target = all * (i - first) / places;
        while (bin <= kBins && cumulative[bin + 1] < target) ++bin;
        if (bin >= kBins) break;  // the rest is overflow
        const double inBin = total[bin] > 0 ? (target - cumulative[bin]) / total[bin] : 0;
        const double amplitude = (bin + std::clamp(inBin, 0.0, 1.0)) * kBinWidth;
        quantiles_[i] = static_cast<float>(std::min(amplitude, double{kOverflow}));
    }
}

}  // namespace drelm::emu
