#include "cli/cli_env.h"

#include "cli/cli_buffer.h"
#include "cli/cli_inventory.h"
#include "engine/device/device.h"

T_CLI_ENV ProcessCliEnv()
{
    T_CLI_ENV env;
    env.output = ChooseOutputMode(ReadOutputFacts());
    env.io.bCanAsk = IsTerminal(EStream::Input);
    env.pStop = &ProcessStopRequest();
    env.nAvailableMiB = AvailableMemoryMiB();
    env.nDefaultBufferMiB = DefaultBufferMiB(&env.arrSettingsWarnings);
    static CCliInventory inventory;
    env.pInventory = &inventory;
    env.arrSystemPlaces = SystemPlaces();
    return env;
}

bool StopRequested(const T_CLI_ENV& env)
{
    return env.pStop && env.pStop->IsRequested();
}

EPromptRule PromptRuleOf(bool bYes, const T_CLI_ENV& env)
{
    if (StopRequested(env)) return EPromptRule::Stopped;
    return bYes ? EPromptRule::Yes : EPromptRule::Ask;
}

IDeviceProvider& DevicesOf(const T_CLI_ENV& env)
{
    return env.pDevices ? *env.pDevices : GetPlatformDevices();
}
