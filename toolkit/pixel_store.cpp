// The default framebuffer memory of a canvas: a vector of the process.
#include "toolkit/pixel_store.h"

#include <cstddef>
#include <vector>

namespace fw {

namespace {

class VectorStore final : public PixelStore {
public:
    Color* allocate(int width, int height) override
    {
        pixels_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        return pixels_.data();
    }
    std::unique_ptr<PixelStore> another() const override { return std::make_unique<VectorStore>(); }

private:
    std::vector<Color> pixels_;
};

}  // namespace

std::unique_ptr<PixelStore> vector_store() { return std::make_unique<VectorStore>(); }

}  // namespace fw
