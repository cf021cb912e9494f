#pragma once
// Whole commands run in this process the way main runs them, with fake
// drives, a recorded console (standard output and error apart), scripted
// terminal answers and a stop request the test controls.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "engine/core/system_error.h"
#include "engine/device/fake/fake_device.h"

namespace cli_test {

inline constexpr uint64_t MIB = 1024 * 1024;

class CliRunTest : public ::testing::Test {
protected:
    // Runs "gravelmoor-cli ARGS..." and returns the exit status.
    int RunCli(std::vector<std::string> args)
    {
        args.insert(args.begin(), "gravelmoor-cli");
        const T_PARSE_RESULT parsed = ParseCliArgs(args);
        EXPECT_TRUE(parsed.bOk) << parsed.strError;
        const T_CLI_ENV env = Env();
        switch (parsed.args.eCommand) {
        case ECliCommand::Read: return RunReadCommand(parsed.args, env);
        case ECliCommand::Write: return RunWriteCommand(parsed.args, env);
        case ECliCommand::Verify: return RunVerifyCommand(parsed.args, env);
        case ECliCommand::Checksum: return RunChecksumCommand(parsed.args, env);
        case ECliCommand::Erase: return RunEraseCommand(parsed.args, env);
        default: return 2;
        }
    }

    T_CLI_ENV Env()
    {
        T_CLI_ENV env;
        env.output = m_output;
        env.io.write = [this](EStream eStream, std::string_view strText) {
            (eStream == EStream::Error ? m_strErr : m_strOut) += strText;
            if (m_onWrite) m_onWrite();
            return 0u;
        };
        env.io.readLine = [this](std::string& strLine) { return m_answer(strLine); };
        env.io.bCanAsk = m_bTerminal;
        env.pStop = &m_stop;
        env.pDevices = &m_devices;
        env.stopPatience = m_stopPatience;
        return env;
    }

    // The operator types strAnswer at the terminal.
    void TypeAtTerminal(const std::string& strAnswer)
    {
        m_bTerminal = true;
        m_answer = [strAnswer](std::string& strLine) {
            strLine.assign(strAnswer.begin(), strAnswer.end());
            return true;
        };
    }

    bool OutHas(const std::string& strText) const { return m_strOut.find(strText) != std::string::npos; }
    bool ErrHas(const std::string& strText) const { return m_strErr.find(strText) != std::string::npos; }

    CFakeDeviceProvider m_devices;
    CStopRequest m_stop;
    bool m_bTerminal = false;
    std::function<bool(std::string&)> m_answer = [](std::string&) { return false; };
    T_OUTPUT_MODE m_output;
    std::chrono::milliseconds m_stopPatience{5000};
    std::function<void()> m_onWrite;  // called after each write to the console
    std::string m_strOut;
    std::string m_strErr;
};

// A fake image file: a regular file of pattern bytes.
inline std::shared_ptr<CFakeDisk> FakeImage(uint64_t nSize, uint32_t nSeed = 7)
{
    std::shared_ptr<CFakeDisk> pImage = CFakeDisk::WithPattern(nSize, nSeed);
    pImage->SetKind(EDeviceKind::RegularFile);
    return pImage;
}

}  // namespace cli_test
