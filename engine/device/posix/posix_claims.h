#pragma once
// The volume claims this process holds, by device number. A disk whose
// every partition this process has claimed (its volumes locked for a job),
// or that this process has claimed itself (a file system on the whole disk,
// locked as its only volume), cannot be opened exclusively any more, not
// even by this process: the kernel counts the claims on the partitions
// against the whole disk, and a second claim of the disk is refused. Such a
// disk is opened without the claim: nothing else can mount or claim any
// part of it while this process's claims are held.
#include <sys/types.h>

void NoteClaimTaken(dev_t nDevice);
void NoteClaimReleased(dev_t nDevice);
// True when this process holds the disk's own claim, or the disk has
// partitions and this process holds a claim on every one of them.
bool HeldByOwnClaims(dev_t nDisk);
