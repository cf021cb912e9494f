#pragma once
// Inside the pre-flight: what its rules look at, once the job's drives and
// image have been opened (preflight_look.cpp), and the rules between them
// (preflight_rules.cpp). job_preflight.cpp puts the two together; front
// ends use job_preflight.h only.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/device/device.h"
#include "jobs/job_preflight.h"
#include "jobs/job_run.h"
#include "jobs/system_places.h"

// A drive of the job as the rules see it.
struct T_PREFLIGHT_DRIVE {
    std::string strPath;     // what it is opened with
    std::string strName;     // how the lines name it
    int nSlot = 0;           // the job's slot (the window's row)
    bool bOpened = false;    // it opened (and passed the look); one that did not is left out of the rules
    T_STORAGE storage;       // where its data live
    uint64_t nSize = 0;      // bytes; measured for a write, a verify and an erase
    bool bReleased = false;  // the job locks and unmounts its volumes
};

// The image of a read, a write or a verify.
struct T_PREFLIGHT_IMAGE {
    std::string strPath;
    bool bOpened = false;  // the file opened (for a new image of a read: the folder it goes into)
    T_STORAGE storage;
    uint64_t nSize = 0;    // bytes; measured for a write and a verify
};

struct T_PREFLIGHT_JOB {
    int nTask = DUMPTASK_READ;
    T_PREFLIGHT_IMAGE image;  // not looked at for an erase
    std::vector<T_PREFLIGHT_DRIVE> arrDrives;
    std::vector<T_SYSTEM_PLACE> arrPlaces;  // where the running system lives
    T_REFUSAL_WORDING wording;
    bool bCompressed = false;  // the image's data length shows only by inflating it
    bool bForceWrite = false;  // a raw image may differ in size from the drives
    IDeviceProvider* pDevices = nullptr;  // for reading a raw image past the drives' end
    const std::atomic<bool>* pStop = nullptr;  // ends that read early; null: nothing does
};

// Adds a refusal of the drive in nSlot (-1: of the image or the job).
void Refuse(T_PREFLIGHT_RESULT& result, int nSlot, std::string strText);

// The look (preflight_look.cpp). Each refusal it finds goes to result.
// A read: an existing image path must hold a regular file that is not the
// drive itself (result.bImageExists says whether anything is there); false
// when it holds anything else.
bool LookAtImagePath(const std::string& strDrive, const std::string& strImage, T_PREFLIGHT_RESULT& result);
// A read's drive and image, through handles that claim nothing; for an
// image not there yet, the folder it will be created in. What does not
// open is left to the engine, which says why in its own words.
T_PREFLIGHT_DRIVE LookAtDrive(IDeviceProvider& devices, const T_PREFLIGHT_DRIVE& drive);
T_PREFLIGHT_IMAGE LookAtNewImage(IDeviceProvider& devices, const std::string& strPath);
// The image of a write or a verify: a regular file that opens and can be
// measured.
T_PREFLIGHT_IMAGE InspectImage(IDeviceProvider& devices, const std::string& strPath, T_PREFLIGHT_RESULT& result);
// A drive of a write, a verify or an erase: a disk, or a regular file
// standing in for one, that opens and can be measured. eWriteMode: a drive
// to be written whose volumes the job does not release is also opened the
// way the engine will write it (a mounted file system refuses that), and
// closed again at once; ProbeDrive: it is not written.
T_PREFLIGHT_DRIVE InspectDrive(IDeviceProvider& devices, T_PREFLIGHT_DRIVE drive, EOpenMode eWriteMode, bool bErase,
                               T_PREFLIGHT_RESULT& result);

// The rules between the drives, the image and the running system, and the
// sizes, for the job's kind (preflight_rules.cpp).
void ApplyRules(const T_PREFLIGHT_JOB& job, T_PREFLIGHT_RESULT& result);
