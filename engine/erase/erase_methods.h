#pragma once
// The catalogue of erase methods: each method's id, its constant name, the
// line that names it in the log, and its passes in the order they run.
// Looking up an id that is not in the catalogue gives the method of id 1
// (one pass of 0x00). Beside it, the codes of the passes and the sixteen
// entries of the erase-method dialog.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

constexpr uint32_t ERASE_ZERO = 1;
constexpr uint32_t ERASE_ONE = 2;
constexpr uint32_t ERASE_RANDOM = 3;
constexpr uint32_t ERASE_ZERO_ONE_RANDOM = 4;
constexpr uint32_t ERASE_ZERO_VERIFY = 17;
constexpr uint32_t ERASE_ONE_VERIFY = 18;
constexpr uint32_t ERASE_RANDOM_VERIFY = 19;
constexpr uint32_t ERASE_ZERO_ONE_RANDOM_VERIFY = 20;
constexpr uint32_t ERASE_NSA_130_2 = 32;
constexpr uint32_t ERASE_ZERO_ONE_ZERO_ONE = 33;
constexpr uint32_t ERASE_RANDOM_55_AA = 48;
constexpr uint32_t ERASE_55_AA_RANDOM = 49;
constexpr uint32_t ERASE_00_FF_RANDOM = 50;
constexpr uint32_t ERASE_55_C3_0F_F0_3C_AA_RANDOM = 51;
constexpr uint32_t ERASE_DOD_5220_22_M = 80;
constexpr uint32_t ERASE_NCSC_TG_025 = 81;
constexpr uint32_t ERASE_AFSSI_5020 = 82;
constexpr uint32_t ERASE_AR_380_19 = 83;
constexpr uint32_t ERASE_NAVSO_P_5239_26 = 84;
constexpr uint32_t ERASE_DOD_5220_22_M_ECE = 85;
constexpr uint32_t ERASE_RCMP_TSSIT_OPS_II = 96;
constexpr uint32_t ERASE_CSEC_ITSG_06 = 97;
constexpr uint32_t ERASE_HMG_IS5 = 112;
constexpr uint32_t ERASE_ISM_6_2_92 = 128;
constexpr uint32_t ERASE_NZSIT_402 = 144;
constexpr uint32_t ERASE_VSITR = 160;
constexpr uint32_t ERASE_GOST_R_50739_95 = 176;
constexpr uint32_t ERASE_GUTMANN = 0x1000;
constexpr uint32_t ERASE_SCHNEIER = 0x1010;
constexpr uint32_t ERASE_PFITZNER = 0x1020;

// The most passes a method has (Gutmann's 35).
constexpr uint32_t MAX_ERASE_PASSES = 35;

struct T_ERASE_METHOD {
    uint32_t nId = 0;
    const char* pConstant = "";  // "ERASE_ZERO"
    const char* pLogLine = "";   // "ERASE Method: Fill zero(0x00).\n"
    uint32_t nPass = 0;          // 1 to MAX_ERASE_PASSES
    uint32_t arrPass[MAX_ERASE_PASSES] = {};  // pass codes (below), in order
};

// Every method, in the order of their ids.
std::span<const T_ERASE_METHOD> EraseMethods();
bool IsEraseMethod(uint32_t nId);
// The method of nId; ERASE_ZERO's for an id the catalogue does not have.
const T_ERASE_METHOD& FindEraseMethod(uint32_t nId);

// One pass of an erase method, as a 32-bit code:
//   bits 0..7   the fill byte (fill kind), or the index k (0..255) of a
//               random sequence (the three random kinds);
//   bits 8..11  the kind: fill, a new random sequence k, sequence k again,
//               or the bitwise complement of sequence k;
//   bit 15      a verification pass: nothing is written, the drive is read
//               back and compared with the bytes bits 0..11 describe.
// Sequence k is named "RANDOM-<k+1>" in the log, its complement
// "RANDOM-<k+1>(COM)".
constexpr uint32_t ERASE_PASS_KIND_MASK = 0xF00;
constexpr uint32_t ERASE_PASS_FILL = 0x000;
constexpr uint32_t ERASE_PASS_RANDOM = 0x100;
constexpr uint32_t ERASE_PASS_REPEAT = 0x200;
constexpr uint32_t ERASE_PASS_COMPLEMENT = 0x300;
constexpr uint32_t ERASE_PASS_VERIFY = 0x8000;

constexpr uint32_t ErasePassKind(uint32_t nCode)
{
    return nCode & ERASE_PASS_KIND_MASK;
}
// The fill byte of a fill pass, the sequence index k of the others.
constexpr uint8_t ErasePassByte(uint32_t nCode)
{
    return static_cast<uint8_t>(nCode & 0xFF);
}
constexpr bool IsVerifyPass(uint32_t nCode)
{
    return (nCode & ERASE_PASS_VERIFY) != 0;
}
constexpr bool IsRandomPass(uint32_t nCode)
{
    return ErasePassKind(nCode) != ERASE_PASS_FILL;
}

// The line that opens pass nPass of nPasses on a drive:
// "<name> - PASS 3/7, WRITE RANDOM-2.", "... VERIFY 0x00." and so on.
std::string ErasePassLine(const std::string& strName, uint32_t nPass, uint32_t nPasses, uint32_t nCode);

// The sixteen erase methods the erase-method dialog offers, as one group of
// radio buttons: in group order (the radio index the dialog returns), each
// with its control id, its button text, the method id it stands for and
// the description shown while it has the focus. Any other radio index
// stands for method 1.
struct T_ERASE_DIALOG_ENTRY {
    uint32_t nControlId = 0;
    const char* pRadioText = "";
    uint32_t nMethodId = 0;
    const char* pDescription = "";  // "\n" is a line break
};

constexpr size_t ERASE_DIALOG_ENTRY_COUNT = 16;

std::span<const T_ERASE_DIALOG_ENTRY> EraseDialogEntries();
// The method id of a radio index; 1 for an index outside 0..15.
uint32_t EraseMethodOfDialogIndex(int nIndex);
