#pragma once
// The write engine's tests: the engine rig, and a write of the image to the
// first drives.
#include "engine/write/image_to_disk.h"
#include "tests/engine/engine_rig.h"

namespace engine_test {

class WriteTest : public EngineRig {
public:
    // The image to drives 0..nDrives-1 by a fresh engine.
    T_ENGINE_RESULT Write(int nDrives) { return CImageToDisk().Run(Job(nDrives)); }
};

inline const uint32_t FORCED_WORD = ComposeLogWord(3);
inline const uint32_t ERROR_WORD = ComposeLogWord(LOG_STYLE_ERROR);

}  // namespace engine_test
