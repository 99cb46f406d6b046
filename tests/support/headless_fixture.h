// A fresh program for every test: the headless backend installed, the module
// state and the loaded windows reset, the files in a temporary folder.
#pragma once

#include "host/saver.h"
#include "toolkit/form.h"
#include "toolkit/headless/headless_platform.h"
#include "toolkit/runtime_error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>

namespace fw::testing {

inline std::string read_text(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_text(const std::filesystem::path& path, std::string_view text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

inline int count_of(const std::string& haystack, std::string_view needle)
{
    int n = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + needle.size())) ++n;
    return n;
}

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Tests that run several cases call SetUp again: the last folder goes.
        if (!dir.empty()) std::filesystem::remove_all(dir);
        // A parameterised test's name ("Name/1") would make two folders.
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        dir = std::filesystem::temp_directory_path() /
              ("frostwisp-test-" + std::to_string(std::random_device{}()) + "-" + name);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir / "bin");
        options.program_file = dir / "bin" / "frostwisp";
        options.user_state_dir = dir / "state";
        auto store = std::make_unique<MemoryStore>();
        memory = store.get();
        options.settings = std::move(store);
        Saver::SaverSettings = {};
        Saver::numFl = 0;
        Saver::SaverMode = false;
    }

    void TearDown() override
    {
        Forms::discard_all();
        install_platform(nullptr);
        backend.reset();
        std::filesystem::remove_all(dir);
    }

    // Installs the backend with the options set so far.
    HeadlessPlatform& start()
    {
        backend = std::make_unique<HeadlessPlatform>(std::move(options));
        install_platform(backend.get());
        return *backend;
    }

    std::string protocol() const { return read_text(dir / "bin" / "frostwisp.EPT"); }

    std::filesystem::path dir;
    HeadlessOptions options;
    MemoryStore* memory = nullptr;
    std::unique_ptr<HeadlessPlatform> backend;
};

}  // namespace fw::testing
