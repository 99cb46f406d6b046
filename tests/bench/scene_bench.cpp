// The cost of one animation tick with a full flake field, with what its
// window does to find the parts to send, against a plain copy of two whole
// frames, at full HD and at 4K, and whether memory stays flat over a long run.
// BM_LiveTick runs each tick as the saver does, 30 ms after the last: by then
// the other programs of the machine have had the caches, so it starts cold.
//
//   build/tests/scene_bench                      all of it
//   build/tests/scene_bench --benchmark_filter=Tick   only the timings
#include "host/allgemein.h"
#include "scene/frm_main.h"
#include "toolkit/freetype/freetype_text.h"
#include "toolkit/headless/headless_platform.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace fw;

struct Scene {
    // Every one of the 501 slots by default.
    explicit Scene(int width, int height, const char* max_flakes = "1100", const char* seed = nullptr)
    {
        if (seed) setenv("FROSTWISP_SEED", seed, 1);
        HeadlessOptions options;
        options.command_text = "/S";
        options.screen_width = width;
        options.screen_height = height;
        options.fonts = [](const FontSpec& font) { return make_freetype_renderer(font, 96.0); };
        auto store = std::make_unique<MemoryStore>();
        store->write("Frostwisp", "Settings", "maxFl", max_flakes);
        store->write("Frostwisp", "Settings", "Background", "1");
        options.settings = std::move(store);
        backend = std::make_unique<HeadlessPlatform>(std::move(options));
        install_platform(backend.get());
        Saver::Main();
        scene = &static_cast<frmMain&>(Forms::at(0));
    }
    ~Scene()
    {
        Forms::discard_all();
        install_platform(nullptr);
    }
    std::unique_ptr<HeadlessPlatform> backend;
    frmMain* scene = nullptr;
};

void BM_Tick(benchmark::State& state)
{
    Scene s(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        s.scene->SnowLine = 0.95;  // the steady state of the first minutes
        s.scene->tmrAnimation_timer();
        benchmark::ClobberMemory();
    }
}

// Between ticks, other programs take the caches: this much memory is walked
// through, untimed, before each tick.
void evict_caches(std::vector<char>& other)
{
    for (size_t i = 0; i < other.size(); i += 64) other[i] = static_cast<char>(other[i] + 1);
    benchmark::ClobberMemory();
}

void BM_LiveTick(benchmark::State& state)
{
    // As tests/bench_x11_cpu.sh runs the saver.
    Scene s(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), "500", "1");
    std::vector<char> other(size_t{64} << 20);
    for (auto _ : state) {
        state.PauseTiming();
        evict_caches(other);
        s.scene->SnowLine = 0.95;  // the steady state of the first minutes
        state.ResumeTiming();
        s.scene->tmrAnimation_timer();
        benchmark::ClobberMemory();
    }
}

void BM_TwoFrameCopy(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    Canvas a(rgb(1, 2, 3)), b, c;
    a.resize(w, h);
    b.resize(w, h);
    c.resize(w, h);
    for (auto _ : state) {
        // New content each time, or the copies would skip every tile.
        a.write_rows(0, 0, w, h);
        b.blit(0, 0, w, h, a, 0, 0);
        c.blit(0, 0, w, h, b, 0, 0);
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_Tick)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveTick)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwoFrameCopy)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

// Remembers each run's time per iteration, for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration) times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

long resident_kib()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* size : {"1920/1080", "3840/2160"}) {
        const auto tick = reporter.times.find(std::string("BM_Tick/") + size);
        const auto copy = reporter.times.find(std::string("BM_TwoFrameCopy/") + size);
        if (tick != reporter.times.end() && copy != reporter.times.end())
            std::printf("tick / two-frame copy at %s: %.3f\n", size, tick->second / copy->second);
    }

    if (benchmark::GetBenchmarkFilter().empty() || benchmark::GetBenchmarkFilter() == "all") {
        Scene s(640, 480);
        s.backend->run_ticks(1000);
        const long after_first = resident_kib();
        s.backend->run_ticks(99'000);
        const long after_all = resident_kib();
        std::printf("resident size after 1,000 ticks: %ld KiB; after 100,000 ticks: %ld KiB\n", after_first, after_all);
    }
    benchmark::Shutdown();
    return 0;
}
