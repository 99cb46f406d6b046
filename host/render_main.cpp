// frostwisp --render: the full-screen saver on the headless backend for a
// number of ticks, then the screen's picture.
#include "host/render_main.h"

#include "host/run_saver.h"
#include "toolkit/form.h"

#include <cstdio>

namespace fw {

int run_render(const std::vector<std::string>& arguments, RenderServices services)
{
    std::optional<RenderJob> job = prepare_render(arguments, std::move(services));
    if (!job) return 2;
    HeadlessPlatform backend(std::move(job->options));
    bool shown = false;
    bool written = false;
    const std::optional<int> ended = run_saver(backend, [&] {
        backend.run_ticks(job->ticks);
        shown = Forms::count() > 0;
        if (shown) written = write_render_picture(*job);
    });
    if (ended || !shown) {
        std::fprintf(stderr, "frostwisp --render: the scene ended on a run-time error (see frostwisp.EPT)\n");
        return 1;
    }
    return written ? 0 : 1;
}

}  // namespace fw
