#pragma once
// The read engine's tests: the engine rig with drive 0 read into an image
// that is a real file of a temporary folder (so that it can exist before
// the read) or a fake that grows as it is written, and scripted answers
// to the question about an existing image.
#include <filesystem>

#include "engine/core/md5.h"
#include "engine/core/prompt.h"
#include "engine/read/disk_to_image.h"
#include "tests/engine/engine_rig.h"
#include "tests/support/temp_dir.h"

namespace engine_test {

class CScriptedPrompt : public IPrompt {
public:
    explicit CScriptedPrompt(bool bAnswer) : m_bAnswer(bAnswer) {}
    bool AskYesNo(INotifyTarget*, std::string_view strText, std::string_view strCaption) override
    {
        ++m_nAsked;
        m_strQuestion = std::string(strCaption) + ": " + std::string(strText);
        return m_bAnswer;
    }
    bool m_bAnswer;
    int m_nAsked = 0;
    std::string m_strQuestion;
};

class ReadTest : public EngineRig {
public:
    // The job of drive 0 into m_strImage.
    T_ENGINE_JOB ReadJob(IPrompt* pPrompt = nullptr)
    {
        T_ENGINE_JOB job = Job(1);
        job.strImage = m_strImage;
        job.wiring.pPrompt = pPrompt;
        return job;
    }
    // That job run by the rig's engine.
    T_ENGINE_RESULT Read(IPrompt* pPrompt = nullptr) { return m_engine.Run(ReadJob(pPrompt)); }
    // The image becomes a fake file that grows as it is written.
    std::shared_ptr<CFakeDisk> FakeImage()
    {
        auto pImage = AddImage({});
        pImage->GrowOnWrite();
        m_strImage = IMAGE;
        return pImage;
    }
    std::vector<uint8_t> ImageData() const { return ReadWholeFile(m_strImage); }
    bool ImageExists() const { return std::filesystem::exists(m_strImage); }
    // Starts the next case of a table: no lines, no drives, no image file.
    void NextCase()
    {
        m_recorder.Clear();
        m_drives.clear();
        std::filesystem::remove(m_dir.File("image.gmi"));
    }

    CTempDir m_dir;
    std::string m_strImage = m_dir.File("image.gmi");
    CDiskToImage m_engine;
};

}  // namespace engine_test
