// The canvas's hot paths at full-HD size: the per-frame background copy, the
// flake field (about 2500 small ellipses, many of them off the surface; and
// 500 giant ones, whose curve runs far outside it), and a stretched picture.
#include "toolkit/canvas.h"

#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <utility>
#include <vector>

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;

void BM_BlitFullFrame(benchmark::State& state)
{
    fw::Canvas src(fw::rgb(10, 20, 30)), dst;
    src.resize(kW, kH);
    src.clear();
    dst.resize(kW, kH);
    for (auto _ : state) {
        // New content each time, or the copy would skip every tile.
        src.write_rows(0, 0, kW, kH);
        dst.blit(0, 0, kW, kH, src, 0, 0);
        benchmark::DoNotOptimize(std::as_const(dst).row(0));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kW} * kH * int64_t{sizeof(fw::Color)});
}
BENCHMARK(BM_BlitFullFrame);

// Draws the boxes as ellipses on a surface of kW x kH, once an iteration.
void time_ellipses(benchmark::State& state, const std::vector<std::array<int, 4>>& boxes)
{
    fw::Canvas c;
    c.resize(kW, kH);
    for (auto _ : state) {
        for (const auto& b : boxes) c.ellipse(b[0], b[1], b[2], b[3]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(boxes.size()));
}

void BM_FlakeField(benchmark::State& state)
{
    // Flakes spread over and around the surface, as the scene has them:
    // some drift off the left and right, many settle below the bottom.
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> x(-20, kW + 20), y(-20, kH + kH / 3), d(4, 12), narrow(0, 2);
    std::vector<std::array<int, 4>> boxes(static_cast<size_t>(state.range(0)));
    for (auto& b : boxes) {
        const int l = x(rng), t = y(rng), size = d(rng);
        b = {l, t, l + size - narrow(rng), t + size};
    }
    time_ellipses(state, boxes);
}
BENCHMARK(BM_FlakeField)->Arg(2500);

void BM_GiantFlakeField(benchmark::State& state)
{
    // Flakes of a size factor of a million, as the scene places them: the
    // box's top left on the surface, so that only its empty corner shows.
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> x(-20, kW), y(-20, kH), d(4, 1000004);
    std::vector<std::array<int, 4>> boxes(static_cast<size_t>(state.range(0)));
    for (auto& b : boxes) {
        const int l = x(rng), t = y(rng), size = d(rng);
        b = {l, t, l + size, t + size};
    }
    time_ellipses(state, boxes);
}
BENCHMARK(BM_GiantFlakeField)->Arg(500);

void BM_StretchDraw(benchmark::State& state)
{
    fw::Image img{640, 480, std::vector<fw::Color>(640 * 480, fw::rgb(1, 2, 3))};
    fw::Canvas c;
    c.resize(kW, kH);
    for (auto _ : state) {
        c.stretch_draw(img, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t{kW} * kH);
}
BENCHMARK(BM_StretchDraw);

void BM_Clear(benchmark::State& state)
{
    fw::Canvas c(fw::rgb(0, 0, 64));
    c.resize(kW, kH);
    for (auto _ : state) {
        c.clear();
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kW} * kH * int64_t{sizeof(fw::Color)});
}
BENCHMARK(BM_Clear);

}  // namespace

BENCHMARK_MAIN();
