// The scene's text line, drawn every frame: date and time at the bottom left
// and the web address at the bottom right of a full-HD frame; and what making
// a renderer costs, which happens once per window.
#include "toolkit/freetype/freetype_text.h"

#include <benchmark/benchmark.h>

namespace {

const fw::FontSpec scene_font{"Comic Sans MS", 9.75, fw::FontWeight::bold, false};

void BM_DrawSceneTextLine(benchmark::State& state)
{
    const auto text = fw::make_freetype_renderer(scene_font, 96);
    fw::Canvas canvas(fw::rgb(0, 0, 40));
    canvas.resize(1920, 1080);
    canvas.clear();
    const int y = 1080 - text->text_height("1") - 3;
    for (auto _ : state) {
        text->draw(canvas, 5, y, "24.12.2024   18:05:09", fw::rgb(128, 128, 255));
        text->draw(canvas, 1700, y - 1, "www.frostwisp.example", fw::rgb(128, 128, 255));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawSceneTextLine);

void BM_MakeRenderer(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(fw::make_freetype_renderer(scene_font, 96));
}
BENCHMARK(BM_MakeRenderer)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
