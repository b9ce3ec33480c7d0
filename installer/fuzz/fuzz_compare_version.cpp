// ParseVersion and CompareVersion on arbitrary texts. The input holds up to three texts split
// at 0xff bytes, each byte one character (so digits, '.' and ',' are cheap to find). Checked:
// results are -1, 0 or 1, antisymmetric, reflexive and transitive, and ParseVersion writes only
// the fields it has tokens for, front to back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "support/file_version_info.h"

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string texts[3];
    size_t which = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xff) {
            if (++which == 3)
                break;
            continue;
        }
        // 0xfe stands for a character outside Latin-1, to see wide text too.
        texts[which] += data[i] == 0xfe ? char16_t{0x4e2d} : static_cast<char16_t>(data[i]);
    }
    const std::u16string& a = texts[0];
    const std::u16string& b = texts[1];
    const std::u16string& c = texts[2];

    const int ab = CompareVersion(a, b);
    const int ba = CompareVersion(b, a);
    const int bc = CompareVersion(b, c);
    const int ac = CompareVersion(a, c);
    Check(ab >= -1 && ab <= 1);
    Check(ab == -ba);
    Check(CompareVersion(a, a) == 0);
    if (ab <= 0 && bc <= 0)
        Check(ac <= 0);
    if (ab == 0 && bc == 0)
        Check(ac == 0);

    // Fields without a token keep the caller's value; the written ones form a prefix.
    const int32_t kMarker = 0x5a5a5a5a;
    int32_t marked[4] = {kMarker, kMarker, kMarker, kMarker};
    int32_t zeroed[4] = {0, 0, 0, 0};
    ParseVersion(a, marked);
    ParseVersion(a, zeroed);
    bool untouched = false;
    for (int i = 0; i < 4; ++i) {
        if (marked[i] != zeroed[i]) {
            Check(marked[i] == kMarker && zeroed[i] == 0);
            untouched = true;
        } else {
            Check(!untouched);
        }
    }
    return 0;
}
