// A small Windows program for the Wine end-to-end scripts: reads and sets the
// system's screen-saver activation, as another program of the session sees it.
//
//   wine_test_helper screensaver-active       prints 1 or 0
//   wine_test_helper screensaver-active N     sets it to N (not written to the profile)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    // A windowed program with the display open, as the saver is: under Wine
    // the activation is the display driver's (the X server's screen saver),
    // which a program without the display never reaches.
    ReleaseDC(nullptr, GetDC(nullptr));
    if (argc >= 2 && std::strcmp(argv[1], "screensaver-active") == 0) {
        if (argc == 3 && !SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, std::atoi(argv[2]) != 0, nullptr, 0)) return 1;
        // Read back even after a change: that also sends a change the driver
        // may still hold before the program ends.
        BOOL active = FALSE;
        if (!SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0)) return 1;
        if (argc == 2) std::printf("%d\n", active ? 1 : 0);
        return 0;
    }
    std::fprintf(stderr, "usage: wine_test_helper screensaver-active [0|1]\n");
    return 2;
}
