#pragma once
// The runner's ports to the desktop: the completion sound and the shell's
// change notifications. Nothing is sent while a port is not set.
#include <string>

class IJobSound {
public:
    virtual ~IJobSound() = default;
    // Plays the sound file (the executable's folder plus "\Success.wav" or
    // "\Error.wav") without waiting; a missing file is the platform's affair.
    virtual void PlayFile(const std::string& strPath) = 0;
    // The folder the sound files are looked for in, without the separator.
    virtual std::string ProgramFolder() = 0;
};

class IShellNotifier {
public:
    virtual ~IShellNotifier() = default;
    // SHCNE_MEDIAREMOVED (0x40) or SHCNE_MEDIAINSERTED (0x20) for a path
    // that ends in a backslash.
    virtual void Notify(long nEvent, const std::string& strPath) = 0;
};

constexpr long SHCNE_MEDIAINSERTED_EVENT = 0x20;
constexpr long SHCNE_MEDIAREMOVED_EVENT = 0x40;

void SetJobSound(IJobSound* pSound);
IJobSound* GetJobSound();
void SetShellNotifier(IShellNotifier* pNotifier);

// The shell notifications of volumes that went away or came back. The path
// gets a trailing backslash when it has none.
void ShellNotifyMediaRemoved(const std::string& strPath);
void ShellNotifyMediaInserted(const std::string& strPath);
// The same for a drive letter: an index 0 to 25, or a letter "A" to "Z" /
// "a" to "z"; anything else is ignored. The path is "\\.\%c:\".
void ShellNotifyMediaRemovedDrive(int nLetter);
void ShellNotifyMediaInsertedDrive(int nLetter);
