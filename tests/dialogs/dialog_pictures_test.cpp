#include "dialogs/frm_config.h"
#include "dialogs/frm_info.h"
#include "toolkit/bitmap.h"
#include "toolkit/resources.h"

#include "../support/headless_fixture.h"

#include <map>

namespace fw {
namespace {

using DialogPicturesTest = testing::HeadlessTest;

// Every picture a dialog names is carried by the program, at the size and
// colour depth its place was drawn for.
TEST_F(DialogPicturesTest, EveryNamedPictureIsCarriedAtItsSize)
{
    start();
    const std::map<std::string, std::pair<int, int>> sizes = {
        {"program_icon.bmp", {32, 32}},  {"www_icon.bmp", {32, 32}},       {"info_icon.bmp", {32, 32}},
        {"info_window_icon.bmp", {32, 32}}, {"info_background.bmp", {356, 330}}, {"info_picture.bmp", {32, 32}},
    };
    const std::map<std::string, int> bits = {
        {"program_icon.bmp", 8}, {"www_icon.bmp", 4},         {"info_icon.bmp", 4},
        {"info_window_icon.bmp", 8}, {"info_background.bmp", 8}, {"info_picture.bmp", 4},
    };
    std::vector<std::string> named;
    for (DialogForm* form : std::initializer_list<DialogForm*>{&Forms::create<frmConfig>(), &Forms::create<frmInfo>()}) {
        named.push_back(form->design().icon);
        for (Control* c : form->controls()) {
            if (auto* button = dynamic_cast<PushButton*>(c); button && !button->picture.empty()) named.push_back(button->picture);
            if (auto* image = dynamic_cast<ImageBox*>(c)) named.push_back(image->picture);
        }
    }
    EXPECT_EQ(named.size(), 7u);  // two window icons, three picture buttons, two pictures
    for (const std::string& name : named) {
        SCOPED_TRACE(name);
        const auto bytes = embedded_resource(name);
        ASSERT_GT(bytes.size(), 54u);
        EXPECT_EQ(bytes[28], bits.at(name));  // biBitCount
        const Image image = decode_bmp(bytes);
        EXPECT_EQ(std::make_pair(image.width, image.height), sizes.at(name));
    }
    // The executable's icon holds the program icon at 32, 16, 48 and 256
    // pixels (0 in the directory), in 32-bit colour; the largest as a PNG.
    const auto ico = embedded_resource("frostwisp.ico");
    ASSERT_GE(ico.size(), 6u + 4 * 16);
    EXPECT_EQ(ico[4], 4);
    const int icon_sizes[] = {32, 16, 48, 0};
    for (size_t i = 0; i < 4; ++i) {
        const size_t entry = 6 + 16 * i;
        SCOPED_TRACE(icon_sizes[i]);
        EXPECT_EQ(ico[entry], icon_sizes[i]);
        EXPECT_EQ(ico[entry + 6], 32);  // bits per pixel
        const size_t offset = ico[entry + 12] | ico[entry + 13] << 8 | ico[entry + 14] << 16;
        ASSERT_LT(offset + 40, ico.size());
        if (icon_sizes[i] == 0)
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(&ico[offset + 1]), 3), "PNG");
        else
            EXPECT_EQ(ico[offset + 14], 32);  // biBitCount
    }
}

}  // namespace
}  // namespace fw
