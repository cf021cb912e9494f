#pragma once
// The checks a write or a verify makes before it asks anything or starts an
// engine: a zlib library for a compressed image (before anything is
// opened), then the image and every drive opened without a claim, of the
// right kind and measured; drives to be written also opened for writing
// once, as the engine will open them, and closed again with nothing
// written; then the job's pre-flight over what was opened (no drive given
// twice, the image on none of them, the running system left alone) and
// the sizes. Every problem found is logged on one line, all of them, not
// only the first.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/device/device.h"
#include "jobs/system_places.h"

// A drive that passed the checks.
struct T_TARGET {
    std::string strPath;
    uint64_t nSize = 0;  // bytes
    T_STORAGE storage;   // where its data live
    std::string strText;  // the drive list's text of a listed drive; empty for a path
};

struct T_TARGET_RULES {
    bool bWrite = false;       // the drives are to be written (or erased)
    bool bCompressed = false;  // the image is compressed: its file size is not its data's length
    bool bForceWrite = false;  // a raw image may differ in size from the drives it is written to
    bool bErase = false;       // the drives are to be erased: there is no image
    // Per drive: the job unmounts its volumes first, so it is not opened
    // for writing now (a mounted file system would refuse that open).
    std::vector<bool> arrReleasedByJob;
    std::vector<T_SYSTEM_PLACE> arrPlaces;  // where the running system lives
};

// What the refusals that --share-read avoids tell the operator.
constexpr const char* LEAVE_MOUNTED = "give --share-read to leave its volumes mounted";

// True when the job may go on; arrTargets then holds every drive in the
// order given. False when anything was refused (the reasons are logged).
bool InspectJob(IDeviceProvider& devices, const std::string& strImage, const std::vector<std::string>& arrDrives,
                const T_TARGET_RULES& rules, std::vector<T_TARGET>& arrTargets);
// The same for a job without an image (an erase): the drives alone.
bool InspectDrives(IDeviceProvider& devices, const std::vector<std::string>& arrDrives, const T_TARGET_RULES& rules,
                   std::vector<T_TARGET>& arrTargets);

// A system error text as the end of a one-line message: no line end and no
// closing full stop.
std::string ErrorClause(uint32_t nError);
