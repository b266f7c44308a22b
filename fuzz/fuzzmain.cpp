// libFuzzer entry of one reader check; JOY_FUZZ_CHECK names the check (see fuzz/CMakeLists.txt).
#include "fuzzchecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzChecks::setUp(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of exactly the input's length, so a read past its end is caught by the sanitizer.
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString failure = JOY_FUZZ_CHECK(input);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "==joyrelay== reader check failed: %s\n", failure.toUtf8().constData());
        std::abort();
    }
    return 0;
}
