// libFuzzer target over loading scheme files: the bytes as a knot file,
// loaded under a visual root on a headless sheet in file mode and in snapshot
// mode, saved, loaded again and saved again. Any input must load (perhaps with
// messages) or fail with the project's exception; what loaded must save text
// that reads back to the same save.

#include "core/cuUnits.h"
#include "platform/plSoundPlayer.h"
#include "scheme/diFilers.h"
#include "support/testSchemeReplay.h"
#include "support/testUnits.h"

#include <QApplication>

#include <sanitizer/lsan_interface.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static std::unique_ptr<QApplication> app = std::make_unique<QApplication>(*argc, *argv);
    static TUnitRegistry units;
    RegisterTestUnits(units);
    units.InitializeAll();
    TSoundPlayer::Install(CreateEffectSoundPlayer([](const QString&) { return std::unique_ptr<TSoundEffect>(); }));
    // Qt keeps its font faces per thread where the leak checker cannot see
    // them: the first sheet made loads them, outside the leak checks.
    __lsan_disable();
    ReplaySchemeBytes(QByteArrayLiteral("<M><ReplayBox Value=\"x\"><Unknown/></ReplayBox></M>"), fmFile);
    __lsan_enable();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (uint8_t mode : {fmFile, fmSnapshot}) {
        const TSchemeReplay replay = ReplaySchemeBytes(bytes, mode);
        if (!replay.loaded) continue;
        if (!replay.reread || !replay.stable) std::abort();
    }
    return 0;
}
