// An X image store on a real X server: the parts a put names arrive and
// nothing else does, in two requests however many parts there are; a put
// does not wait for the server, and only writing into the image again does.
// GoogleTest first: the X headers define names such as None and Bool.
#include <gtest/gtest.h>

#include "toolkit/canvas.h"
#include "toolkit/x11/x_image_store.h"

#include <X11/Xutil.h>

#include <memory>
#include <vector>

namespace fw {
namespace {

constexpr int kW = 70, kH = 30;

class XImageStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        display = XOpenDisplay(nullptr);
        if (!display) GTEST_SKIP() << "no X display";
        const int screen = DefaultScreen(display);
        if (DefaultDepth(display, screen) != 24) GTEST_SKIP() << "not a 24-bit screen";
        target = XCreatePixmap(display, RootWindow(display, screen), kW, kH, 24);
        gc = XCreateGC(display, target, 0, nullptr);
        XSetForeground(display, gc, 0);
        XFillRectangle(display, target, gc, 0, 0, kW, kH);
        canvas = std::make_unique<Canvas>(0, std::make_unique<XImageStore>(display, DefaultVisual(display, screen), 24));
        canvas->resize(kW, kH);
        canvas->fill_rect(0, 0, kW, kH, rgb(10, 200, 30));
    }
    void TearDown() override
    {
        if (!display) return;
        canvas.reset();
        XFreeGC(display, gc);
        XFreePixmap(display, target);
        XCloseDisplay(display);
    }
    XImageStore& store() { return static_cast<XImageStore&>(canvas->store()); }
    // Which pixels of the target hold the canvas' colour.
    std::vector<bool> arrived()
    {
        XImage* image = XGetImage(display, target, 0, 0, kW, kH, AllPlanes, ZPixmap);
        std::vector<bool> out;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) out.push_back(XGetPixel(image, x, y) == 0x0AC81E);
        XDestroyImage(image);
        return out;
    }
    static std::vector<bool> inside(const std::vector<Rect>& parts)
    {
        std::vector<bool> out;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                bool in = false;
                for (const Rect& r : parts) in = in || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
                out.push_back(in);
            }
        return out;
    }

    Display* display = nullptr;
    Pixmap target = 0;
    GC gc = nullptr;
    std::unique_ptr<Canvas> canvas;
};

TEST_F(XImageStoreTest, PutsExactlyTheParts)
{
    if (!store().shared_memory()) GTEST_SKIP() << "no shared memory with this server";
    // In bands, as a window sends its changes; out of order; one part; parts
    // reaching past the image.
    const std::vector<std::vector<Rect>> cases = {
        {{0, 0, 16, 8}, {32, 0, 48, 8}, {16, 8, 64, 16}, {64, 24, kW, kH}},
        {{40, 20, 50, 28}, {3, 2, 9, 5}, {5, 4, 12, 11}},
        {{7, 9, 8, 10}},
        {{-5, -5, 4, 3}, {60, 25, 90, 40}},
    };
    std::vector<Rect> sent;
    for (const auto& parts : cases) {
        const unsigned long before = NextRequest(display);
        store().put(target, gc, parts);
        EXPECT_EQ(NextRequest(display) - before, 2u) << "a clip and one put";
        sent.insert(sent.end(), parts.begin(), parts.end());
        EXPECT_EQ(arrived(), inside(sent));
    }
}

TEST_F(XImageStoreTest, OnlyWritingAfterAPutWaitsForTheServer)
{
    if (!store().shared_memory()) GTEST_SKIP() << "no shared memory with this server";
    const std::vector<Rect> parts{{0, 0, kW, kH}};
    // Another client holds the server, so that it cannot have done the put
    // before we look: a put that waited for it would not come back.
    Display* other = XOpenDisplay(DisplayString(display));
    ASSERT_NE(other, nullptr);
    XGrabServer(other);
    XSync(other, False);
    store().put(target, gc, parts);
    const unsigned long first = NextRequest(display) - 1;
    EXPECT_LT(LastKnownRequestProcessed(display), first);
    EXPECT_EQ(store().waits(), 0u);
    XUngrabServer(other);
    XCloseDisplay(other);
    // Writing now waits until the server is done with the image.
    canvas->fill_rect(0, 0, 1, 1, rgb(1, 1, 1));
    EXPECT_GE(LastKnownRequestProcessed(display), first);
    EXPECT_EQ(store().waits(), 1u);

    // The server's report of a put read by the event loop: writing goes ahead.
    store().put(target, gc, parts);
    unsigned long put = NextRequest(display) - 1;
    XEvent event;
    XIfEvent(
        display, &event,
        [](Display* d, XEvent* e, XPointer serial) -> Bool {
            return e->type == XShmGetEventBase(d) + ShmCompletion && e->xany.serial == *reinterpret_cast<unsigned long*>(serial);
        },
        reinterpret_cast<XPointer>(&put));
    canvas->fill_rect(0, 0, 1, 1, rgb(2, 2, 2));
    EXPECT_EQ(store().waits(), 1u);
}

}  // namespace
}  // namespace fw
