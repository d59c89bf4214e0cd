// Scan time of hostile 64 MiB .dwi images (the largest file the importer
// reads). Each line: the pattern, the scan's seconds, a single find over the
// same bytes as the reference, and their ratio. Linear scanning keeps the
// ratio a small constant; the old scanner searched to the end from every
// record and took hours here.
#include "dwi/DwiImporter.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Repeat(const std::string& unit, std::size_t bytes) {
    std::string image;
    image.reserve(bytes + unit.size());
    while (image.size() + unit.size() <= bytes) {
        image += unit;
    }
    return image;
}

} // namespace

int main() {
    constexpr std::size_t kBytes = dwi::kMaxDwiFileBytes;
    const struct {
        const char* name;
        std::string unit;
    } patterns[] = {
        {"records without ':'", "\n#"},
        {"keys without ';'", "\n#BPM:"},
        {"charts without ';'", "\n#SINGLE:A:1:"},
        {"charts without fields", "\n#SINGLE:"},
        {"colons, no records", ":"},
        {"valid short records", "\n#GAP:1;"},
    };
    std::printf("%-24s %10s %12s %8s\n", "pattern (64 MiB)", "scan s", "reference s", "ratio");
    for (const auto& pattern : patterns) {
        const std::string image = Repeat(pattern.unit, kBytes);
        const Clock::time_point referenceStart = Clock::now();
        volatile std::size_t found = image.find('\x01');
        const double reference = SecondsSince(referenceStart);
        (void)found;
        const Clock::time_point start = Clock::now();
        (void)dwi::ScanDwi(
            image, [](std::string_view, std::string_view) { return false; },
            [](std::string_view) {});
        const double scan = SecondsSince(start);
        std::printf("%-24s %10.3f %12.4f %8.1f\n", pattern.name, scan, reference,
                    reference > 0 ? scan / reference : 0.0);
    }
    return 0;
}
