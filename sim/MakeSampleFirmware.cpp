// rq4720-sample-firmware OUTPUT LENGTH VERSION: writes a sample firmware image of our own
// (see SampleFirmware.h) for the demonstration and the benchmarks.
#include <charconv>
#include <cstdio>
#include <fstream>
#include <string_view>

#include "SampleFirmware.h"

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s OUTPUT LENGTH VERSION\n", argv[0]);
        return 2;
    }
    const std::string_view lengthText = argv[2];
    std::size_t length = 0;
    const auto [end, error] =
        std::from_chars(lengthText.data(), lengthText.data() + lengthText.size(), length);
    if (error != std::errc{} || end != lengthText.data() + lengthText.size()) {
        std::fprintf(stderr, "bad length: %s\n", argv[2]);
        return 2;
    }
    const rq::sim::Bytes image = rq::sim::MakeSampleFirmware(length, argv[3]);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
