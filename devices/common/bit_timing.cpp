#include "devices/common/bit_timing.h"

#include <cstdlib>

namespace devices {
namespace {

constexpr int kMaxBrp = 64;
constexpr int kMaxTseg1 = 16;
constexpr int kMaxTseg2 = 8;
constexpr int kMinQuanta = 3;
constexpr int kMaxQuanta = 1 + kMaxTseg1 + kMaxTseg2;
constexpr int kPreferredSamplePermille = 875;

}  // namespace

std::uint32_t BitTiming::Baudrate() const {
    return kSja1000ClockHz / (2u * static_cast<std::uint32_t>(brp) * Quanta());
}

std::uint8_t BitTiming::Btr0() const {
    return static_cast<std::uint8_t>(((sjw - 1) << 6) | (brp - 1));
}

std::uint8_t BitTiming::Btr1() const {
    return static_cast<std::uint8_t>(((tseg2 - 1) << 4) | (tseg1 - 1));
}

std::optional<BitTiming> FindBitTiming(std::uint32_t baudrate) {
    if (baudrate < kMinBaudrate || baudrate > kMaxBaudrate)
        return std::nullopt;
    std::optional<BitTiming> best;
    for (int brp = 1; brp <= kMaxBrp; ++brp) {
        for (int quanta = kMinQuanta; quanta <= kMaxQuanta; ++quanta) {
            std::uint64_t divisor = 2ull * brp * quanta;
            if (kSja1000ClockHz % divisor != 0 || kSja1000ClockHz / divisor != baudrate)
                continue;
            for (int tseg2 = 1; tseg2 <= kMaxTseg2; ++tseg2) {
                int tseg1 = quanta - 1 - tseg2;
                if (tseg1 < 1 || tseg1 > kMaxTseg1)
                    continue;
                BitTiming t{brp, tseg1, tseg2, 1};
                auto distance = [](const BitTiming& x) {
                    return std::abs(x.SamplePointPermille() - kPreferredSamplePermille);
                };
                // Ties go to more quanta per bit: finer resynchronisation.
                if (!best || distance(t) < distance(*best) ||
                    (distance(t) == distance(*best) && t.Quanta() > best->Quanta())) {
                    best = t;
                }
            }
        }
    }
    return best;
}

bool IsSupportedBaudrate(std::uint32_t baudrate) {
    return FindBitTiming(baudrate).has_value();
}

std::vector<std::uint32_t> SupportedBaudrates() {
    // Every reachable rate divides the crystal by 2 * BRP * quanta; walk those divisors.
    std::vector<std::uint32_t> rates;
    for (std::uint32_t divisor = kSja1000ClockHz / kMaxBaudrate;
         divisor <= kSja1000ClockHz / kMinBaudrate; ++divisor) {
        if (kSja1000ClockHz % divisor != 0)
            continue;
        std::uint32_t rate = kSja1000ClockHz / divisor;
        if (IsSupportedBaudrate(rate) && (rates.empty() || rates.back() != rate)) {
            rates.push_back(rate);
        }
    }
    std::vector<std::uint32_t> ascending(rates.rbegin(), rates.rend());
    return ascending;
}

}  // namespace devices
