// The libFuzzer entry of one target, chosen when it is built (CA_FUZZ_TARGET).
// A broken invariant or an exception that nothing should throw is a crash, so
// that libFuzzer keeps the input.
#include "targets.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const fuzz::Target* target = fuzz::findTarget(CA_FUZZ_TARGET);
    if (target == nullptr) {
        std::fprintf(stderr, "no fuzz target %s\n", CA_FUZZ_TARGET);
        std::abort();
    }
    try {
        target->run(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const fuzz::Finding& finding) {
        std::fprintf(stderr, "%s: invariant broken: %s\n", CA_FUZZ_TARGET, finding.what());
        std::abort();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: exception escaped: %s\n", CA_FUZZ_TARGET, error.what());
        std::abort();
    }
    return 0;
}
