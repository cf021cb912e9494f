#pragma once
// The volume claims this process holds, by device number. A disk whose
// every partition this process has claimed (its volumes locked for a job)
// cannot be opened exclusively any more, not even by this process: the
// kernel counts the claims on the partitions against the whole disk. Such
// a disk is opened for writing without the claim: nothing else can mount
// or claim any part of it while the partitions' claims are held.
#include <sys/types.h>

void NoteClaimTaken(dev_t nDevice);
void NoteClaimReleased(dev_t nDevice);
// True when the disk has partitions and this process holds a claim on
// every one of them.
bool HoldsEveryPartitionOf(dev_t nDisk);
