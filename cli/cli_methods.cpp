// The methods command: the erase catalogue in the pass notation.
#include "cli/cli_commands.h"

#include "cli/cli_output.h"
#include "engine/core/format.h"
#include "engine/erase/erase_methods.h"

std::string ErasePassNotation(uint32_t nCode)
{
    const std::string strVerify = IsVerifyPass(nCode) ? "V " : "";
    const uint32_t nByte = ErasePassByte(nCode);
    switch (ErasePassKind(nCode)) {
    case ERASE_PASS_FILL: return strVerify + FormatText("0x%02X", nByte);
    case ERASE_PASS_COMPLEMENT: return strVerify + FormatText("~R%u", nByte + 1);
    default: return strVerify + FormatText("R%u", nByte + 1);
    }
}

std::string EraseMethodsListing()
{
    std::string strText = "Erase methods (erase --method ID; an ID not listed here runs method 1).\n"
                          "Passes: 0xNN fills that byte, Rn writes random sequence n (again when it\n"
                          "comes back), ~Rn its complement, V checks the drive holds what follows.\n";
    for (const T_ERASE_METHOD& method : EraseMethods()) {
        std::string strLogLine = method.pLogLine;
        if (!strLogLine.empty() && strLogLine.back() == '\n') strLogLine.pop_back();
        strText += FormatText("\n%5u  %s\n       %s\n       %u pass%s:", method.nId, method.pConstant, strLogLine,
                              method.nPass, method.nPass == 1 ? "" : "es");
        for (uint32_t p = 0; p < method.nPass; ++p) strText += (p ? ", " : " ") + ErasePassNotation(method.arrPass[p]);
        strText += "\n";
    }
    return strText;
}

int RunMethodsCommand(const T_CONSOLE_IO& io)
{
    return PrintWholeText(EraseMethodsListing(), io);
}
