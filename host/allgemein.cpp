#include "host/allgemein.h"

#include "errors/trap.h"
#include "toolkit/form.h"
#include "toolkit/numbers.h"
#include "toolkit/platform.h"

namespace fw::Allgemein {

namespace {

// PCG32 (XSH RR): small, fast, and the same sequence on every platform, so a
// fixed seed gives the same film everywhere.
struct Generator {
    uint64_t state = 0x853c49e6748fea9bULL;
    static constexpr uint64_t increment = 0xda3e39cb94b95bdbULL;

    uint32_t next()
    {
        const uint64_t old = state;
        state = old * 6364136223846793005ULL + increment;
        const auto xorshifted = static_cast<uint32_t>(((old >> 18u) ^ old) >> 27u);
        const auto rot = static_cast<uint32_t>(old >> 59u);
        return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
    }
};

Generator generator;
std::vector<float> queued;

}  // namespace

void Randomize(uint64_t seed)
{
    generator.state = 0;
    generator.next();
    generator.state += seed;
    generator.next();
}

void queue_draws(std::vector<float> draws) { queued = std::move(draws); }

float Rnd()
{
    if (!queued.empty()) {
        const float r = queued.front();
        queued.erase(queued.begin());
        return r;
    }
    // 24 random bits: every value is exact in single precision and below 1.
    return static_cast<float>(generator.next() >> 8) * (1.0f / 16777216.0f);
}

int16_t Zz(int16_t Low, int16_t High)
{
    Trap trap("Allgemein", "Zz");
    float r = 0;
    int16_t n = 0;
    int16_t result = 0;
    trap.line(50010, [&] { r = Rnd(); });
    if (!trap.line(50020, [&] { n = checked16(checked16(High - Low) + 1); })) return 0;
    if (!trap.line(50030, [&] { result = floor16(static_cast<double>(n) * static_cast<double>(r) + Low); })) return 0;
    return result;
}

void Shutdown()
{
    Trap trap = Trap::silent();
    int count = 0;
    trap.line(50010, [&] { count = Forms::count(); });
    for (int i = count - 1; i >= 0; --i) trap.line(50020, [&] { Forms::at(i).Unload(); });
    // The program keeps no file open between its writes, so there is nothing
    // to close when every window has gone.
    trap.line(50030, [&] {
        if (Forms::count() > 0) platform().end_program();
    });
}

}  // namespace fw::Allgemein
