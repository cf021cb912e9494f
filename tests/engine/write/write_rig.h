#pragma once
// The write engine's tests: the engine rig, compressed images made here
// with CZLIBIO, and a write of the image to the first drives.
#include "engine/core/md5.h"
#include "engine/write/image_to_disk.h"
#include "engine/zlib/zlib_io.h"
#include "tests/engine/engine_rig.h"

namespace engine_test {

inline std::string Md5Of(const std::vector<uint8_t>& data)
{
    CMd5 md5;
    md5.Update(data.data(), data.size());
    return Md5Text(md5.Final());
}

// The data as one compressed image, written block by block as the read
// engine writes it.
inline std::vector<uint8_t> Compress(const std::vector<uint8_t>& data)
{
    auto pFile = std::make_shared<CFakeDisk>(std::vector<uint8_t>{});
    pFile->GrowOnWrite();
    CFakeDeviceProvider provider;
    provider.Add("fake:gz", pFile);
    uint32_t nError = 0;
    std::unique_ptr<IDevice> pHandle = provider.Open("fake:gz", EOpenMode::CreateImageAlways, nError);
    CZLIBIO zlib;
    EXPECT_TRUE(zlib.InitWrite(*pHandle).bOk);
    for (size_t nPos = 0; nPos < data.size(); nPos += MIB) {
        const auto nCount = static_cast<uint32_t>(std::min<size_t>(MIB, data.size() - nPos));
        EXPECT_TRUE(zlib.WriteCompressFile(data.data() + nPos, nCount).bOk);
    }
    EXPECT_TRUE(zlib.CommitWrite().bOk);
    zlib.Release();
    return pFile->Contents();
}

class WriteTest : public EngineRig {
public:
    // A compressed image of these data, and the option that goes with it.
    void CompressedImage(const std::vector<uint8_t>& data)
    {
        AddImage(Compress(data));
        m_options.bCompressImage = true;
    }
    // The image to drives 0..nDrives-1 by a fresh engine.
    T_ENGINE_RESULT Write(int nDrives) { return CImageToDisk().Run(Job(nDrives)); }
    // Starts the next case of a table: no lines, no drives.
    void NextCase()
    {
        m_recorder.Clear();
        m_drives.clear();
    }
};

inline const uint32_t FORCED_WORD = ComposeLogWord(3);
inline const uint32_t ERROR_WORD = ComposeLogWord(LOG_STYLE_ERROR);

}  // namespace engine_test
