// Counts the requests every client sends to an X server for a while, through
// the server's RECORD extension: how many, how many of them put images, and
// how many pixels those carry. For the CPU benchmark, which runs one program
// alone on its own server.
//
//   x_request_count SECONDS
//   -> requests N  image-puts N  shm-puts N  put-pixels N  clip-rectangles N
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/record.h>
#include <X11/extensions/shmproto.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

struct Counts {
    int shm_major = -1;
    unsigned long long requests = 0, puts = 0, shm_puts = 0, pixels = 0, clip_rectangles = 0;
};

uint16_t card16(const unsigned char* p) { uint16_t v; std::memcpy(&v, p, 2); return v; }

void on_data(XPointer closure, XRecordInterceptData* data)
{
    auto& counts = *reinterpret_cast<Counts*>(closure);
    if (data->category == XRecordFromClient && data->data_len * 4 >= 4) {
        const unsigned char* r = data->data;
        ++counts.requests;
        if (r[0] == X_PutImage && data->data_len * 4 >= 16) {
            ++counts.puts;
            counts.pixels += static_cast<unsigned long long>(card16(r + 12)) * card16(r + 14);
        } else if (r[0] == counts.shm_major && r[1] == X_ShmPutImage && data->data_len * 4 >= 24) {
            ++counts.puts;
            ++counts.shm_puts;
            counts.pixels += static_cast<unsigned long long>(card16(r + 20)) * card16(r + 22);
        } else if (r[0] == X_SetClipRectangles) {
            counts.clip_rectangles += (data->data_len * 4 - 12) / 8;
        }
    }
    XRecordFreeData(data);
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    Display* control = XOpenDisplay(nullptr);
    Display* data = XOpenDisplay(nullptr);
    int major = 0, first_event = 0, first_error = 0;
    if (!control || !data || !XRecordQueryVersion(control, &major, &first_event)) {
        std::fprintf(stderr, "x_request_count: no display with the RECORD extension\n");
        return 1;
    }
    Counts counts;
    if (XQueryExtension(control, "MIT-SHM", &major, &first_event, &first_error)) counts.shm_major = major;

    XRecordRange* range = XRecordAllocRange();
    range->core_requests.first = 1;
    range->core_requests.last = 127;
    range->ext_requests.ext_major.first = 128;
    range->ext_requests.ext_major.last = 255;
    range->ext_requests.ext_minor.first = 0;
    range->ext_requests.ext_minor.last = 255;
    XRecordClientSpec clients = XRecordAllClients;
    XRecordContext context = XRecordCreateContext(control, 0, &clients, 1, &range, 1);
    XFree(range);
    XSync(control, False);
    if (!context || !XRecordEnableContextAsync(data, context, on_data, reinterpret_cast<XPointer>(&counts))) {
        std::fprintf(stderr, "x_request_count: cannot record\n");
        return 1;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        XRecordProcessReplies(data);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    XRecordDisableContext(control, context);
    XSync(control, False);
    XRecordProcessReplies(data);
    std::printf("requests %llu  image-puts %llu  shm-puts %llu  put-pixels %llu  clip-rectangles %llu\n", counts.requests,
                counts.puts, counts.shm_puts, counts.pixels, counts.clip_rectangles);
    XRecordFreeContext(control, context);
    XCloseDisplay(data);
    XCloseDisplay(control);
    return 0;
}
