#include "engine/device/posix/posix_scsi.h"

#include <scsi/sg.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace {

constexpr uint8_t START_STOP_UNIT = 0x1B;
constexpr uint8_t PREVENT_ALLOW_MEDIUM_REMOVAL = 0x1E;
constexpr uint8_t START_STOP_LOEJ = 0x02;
constexpr uint8_t START_STOP_START = 0x01;
constexpr uint8_t SENSE_NOT_READY = 0x02;
constexpr uint8_t SENSE_ILLEGAL_REQUEST = 0x05;
// A tray or a drive's mechanism may take a while.
constexpr unsigned COMMAND_TIMEOUT_MS = 30000;

bool SendCommand(int fd, uint8_t (&cdb)[6], uint32_t& nError)
{
    uint8_t sense[32] = {};
    sg_io_hdr_t io{};
    io.interface_id = 'S';
    io.dxfer_direction = SG_DXFER_NONE;
    io.cmd_len = sizeof cdb;
    io.cmdp = cdb;
    io.mx_sb_len = sizeof sense;
    io.sbp = sense;
    io.timeout = COMMAND_TIMEOUT_MS;
    int n;
    do {
        n = ::ioctl(fd, SG_IO, &io);
    } while (n != 0 && errno == EINTR);
    if (n != 0) {
        nError = static_cast<uint32_t>(errno);
        return false;
    }
    if ((io.info & SG_INFO_OK_MASK) == SG_INFO_OK) return true;
    nError = ScsiSenseError(sense, io.sb_len_wr);
    return false;
}

}  // namespace

bool ScsiStartStopUnit(int fd, bool bLoad, uint32_t& nError)
{
    uint8_t cdb[6] = {START_STOP_UNIT, 0, 0, 0, static_cast<uint8_t>(START_STOP_LOEJ | (bLoad ? START_STOP_START : 0)),
                      0};
    return SendCommand(fd, cdb, nError);
}

bool ScsiAllowMediumRemoval(int fd, uint32_t& nError)
{
    uint8_t cdb[6] = {PREVENT_ALLOW_MEDIUM_REMOVAL, 0, 0, 0, 0, 0};
    return SendCommand(fd, cdb, nError);
}

uint32_t ScsiSenseError(const uint8_t* pSense, size_t nSense)
{
    // Fixed format (0x70, 0x71) keeps the key in byte 2, descriptor format
    // (0x72, 0x73) in byte 1.
    uint8_t nKey = 0xFF;
    const uint8_t nResponse = nSense > 0 ? (pSense[0] & 0x7F) : 0;
    if ((nResponse == 0x70 || nResponse == 0x71) && nSense > 2) nKey = pSense[2] & 0x0F;
    if ((nResponse == 0x72 || nResponse == 0x73) && nSense > 1) nKey = pSense[1] & 0x0F;
    if (nKey == SENSE_NOT_READY) return ENOMEDIUM;
    if (nKey == SENSE_ILLEGAL_REQUEST) return ENOTTY;
    return EIO;
}
