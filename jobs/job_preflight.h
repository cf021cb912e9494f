#pragma once
// The pre-flight: the checks a job passes before anything is touched, the
// same for every job kind and both front ends. The command line runs it
// before its question; the job runner runs it again before it locks the
// first volume (for the window's jobs, and for anything that changed while
// the question waited). It decides from what was opened, never from names:
// where the data of each drive and of the image live.
//
// Each rule is a row of a table: the job kinds it applies to and what it
// refuses. Every problem found is logged on one line (the drive named as
// the front end names it); the job may start only when none was found.
// The rules:
//   - no drive given twice; for a write or an erase, no two drives that
//     share their storage (a disk and its partition);
//   - the image is not one of the drives, not stored on a drive that a read
//     writes it from or a write writes it to, and not on a file system that
//     the job unmounts (a verify's listed drive);
//   - a drive that holds the running system is never written or erased,
//     and its volumes are never unmounted.
#include <string>
#include <vector>

#include "engine/device/device.h"
#include "jobs/dump_task_param.h"
#include "jobs/system_places.h"

// A drive of the job as the rules see it.
struct T_PREFLIGHT_DRIVE {
    std::string strPath;     // what it is opened with
    std::string strName;     // how the lines name it
    bool bOpened = false;    // it opened; one that did not is left to whoever opens it next
    T_STORAGE storage;       // where its data live
    bool bReleased = false;  // the job locks and unmounts its volumes
};

// The image of a read, a write or a verify.
struct T_PREFLIGHT_IMAGE {
    std::string strPath;
    bool bOpened = false;  // the file opened (for a new image of a read: the folder it goes into)
    T_STORAGE storage;
};

struct T_PREFLIGHT_JOB {
    int nTask = DUMPTASK_READ;
    T_PREFLIGHT_IMAGE image;  // not looked at for an erase
    std::vector<T_PREFLIGHT_DRIVE> arrDrives;
    std::vector<T_SYSTEM_PLACE> arrPlaces;  // where the running system lives
    // How the operator leaves the volumes mounted, for the refusals that a
    // shared read avoids ("give --share-read to leave its volumes mounted");
    // empty: nothing is said.
    std::string strLeaveMounted;
};

// A drive looked at through a handle that claims nothing (the drive list's
// probe); bOpened false when it does not open.
T_PREFLIGHT_DRIVE LookAtDrive(IDeviceProvider& devices, const std::string& strPath, const std::string& strName,
                              bool bReleased);
// The image file; for a read (bNew) whose image is not there yet, the
// folder it will be created in.
T_PREFLIGHT_IMAGE LookAtImage(IDeviceProvider& devices, const std::string& strPath, bool bNew);

// Runs every rule of the job's kind; true when the job may start.
bool PreflightJob(const T_PREFLIGHT_JOB& job);
