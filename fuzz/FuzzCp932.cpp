// Any byte sequence the terminal sends must come back byte for byte after a trip through text.

#include "FuzzCheck.h"

#include "base/Cp932.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = Cp932::decode(bytes);
    FUZZ_CHECK(Cp932::encode(text) == bytes);
    FUZZ_CHECK(Cp932::byteCount(text) == bytes.size());
    return 0;
}
