#include "engine/erase/erase_methods.h"

#include <algorithm>
#include <initializer_list>

#include "engine/core/format.h"

namespace {

constexpr uint32_t R = ERASE_PASS_RANDOM;
constexpr uint32_t V = ERASE_PASS_VERIFY;
constexpr uint32_t REPEAT = ERASE_PASS_REPEAT;
constexpr uint32_t COM = ERASE_PASS_COMPLEMENT;

constexpr T_ERASE_METHOD Method(uint32_t nId, const char* pConstant, const char* pLogLine,
                                std::initializer_list<uint32_t> passes)
{
    T_ERASE_METHOD m{nId, pConstant, pLogLine, 0, {}};
    for (uint32_t nCode : passes) m.arrPass[m.nPass++] = nCode;
    return m;
}

// nPasses new random sequences, the highest index first, so the pass lines
// count the sequence numbers down to RANDOM-1.
constexpr T_ERASE_METHOD CountDown(uint32_t nId, const char* pConstant, const char* pLogLine, uint32_t nPasses)
{
    T_ERASE_METHOD m{nId, pConstant, pLogLine, nPasses, {}};
    for (uint32_t i = 0; i < nPasses; ++i) m.arrPass[i] = R + (nPasses - 1 - i);
    return m;
}

// Another method with the passes of base.
constexpr T_ERASE_METHOD SamePasses(const T_ERASE_METHOD& base, uint32_t nId, const char* pConstant,
                                    const char* pLogLine)
{
    T_ERASE_METHOD m = base;
    m.nId = nId;
    m.pConstant = pConstant;
    m.pLogLine = pLogLine;
    return m;
}

constexpr T_ERASE_METHOD DOD_5220_22_M = Method(ERASE_DOD_5220_22_M, "ERASE_DOD_5220_22_M",
                                                "ERASE Method: US DoD, DoD 5220.22-M.\n",
                                                {0x000, V | 0x000, 0x0FF, V | 0x0FF, R, V | REPEAT});

constexpr T_ERASE_METHOD METHODS[] = {
    Method(ERASE_ZERO, "ERASE_ZERO", "ERASE Method: Fill zero(0x00).\n", {0x000}),
    Method(ERASE_ONE, "ERASE_ONE", "ERASE Method: Fill one(0xFF).\n", {0x0FF}),
    Method(ERASE_RANDOM, "ERASE_RANDOM", "ERASE Method: Fill random.\n", {R}),
    Method(ERASE_ZERO_ONE_RANDOM, "ERASE_ZERO_ONE_RANDOM", "ERASE Method: Fill zero(0x00)->one(0xFF)->random.\n",
           {0x000, 0x0FF, R}),
    Method(ERASE_ZERO_VERIFY, "ERASE_ZERO_VERIFY", "ERASE Method: Fill zero(0x00) and verify.\n", {0x000, V | 0x000}),
    Method(ERASE_ONE_VERIFY, "ERASE_ONE_VERIFY", "ERASE Method: Fill one(0xFF) and verify.\n", {0x0FF, V | 0x0FF}),
    Method(ERASE_RANDOM_VERIFY, "ERASE_RANDOM_VERIFY", "ERASE Method: Fill random and verify.\n", {R, V | REPEAT}),
    Method(ERASE_ZERO_ONE_RANDOM_VERIFY, "ERASE_ZERO_ONE_RANDOM_VERIFY",
           "ERASE Method: Fill zero(0x00)->one(0xFF)->random and verify.\n", {0x000, 0x0FF, R, V | REPEAT}),
    Method(ERASE_NSA_130_2, "ERASE_NSA_130_2", "ERASE Method: US NSA, NSA/CSS 130-2.\n", {R, R | 1, 0x000, V | 0x000}),
    Method(ERASE_ZERO_ONE_ZERO_ONE, "ERASE_ZERO_ONE_ZERO_ONE", "ERASE Method: Fill 0x00->0xFF->0x00->0xFF.\n",
           {0x000, 0x0FF, 0x000, 0x0FF}),
    Method(ERASE_RANDOM_55_AA, "ERASE_RANDOM_55_AA", "ERASE Method: Fill random->0x55->0xAA and MD5 check.\n",
           {R, 0x055, 0x0AA}),
    Method(ERASE_55_AA_RANDOM, "ERASE_55_AA_RANDOM", "ERASE Method: Fill 0x55->0xAA->RANDOM and MD5 check.\n",
           {0x055, 0x0AA, R}),
    Method(ERASE_00_FF_RANDOM, "ERASE_00_FF_RANDOM", "ERASE Method: Fill 0x00->0xFF->RANDOM and MD5 check.\n",
           {0x000, 0x0FF, R}),
    Method(ERASE_55_C3_0F_F0_3C_AA_RANDOM, "ERASE_55_C3_0F_F0_3C_AA_RANDOM",
           "ERASE Method: Fill 0x55->0xC3->0x0F->0xF0->0x3C->0xAA->RANDOM and MD5 check.\n",
           {0x055, 0x0C3, 0x00F, 0x0F0, 0x03C, 0x0AA, R}),
    DOD_5220_22_M,
    SamePasses(DOD_5220_22_M, ERASE_NCSC_TG_025, "ERASE_NCSC_TG_025", "ERASE Method: US NSA, NCSC-TG-025.\n"),
    Method(ERASE_AFSSI_5020, "ERASE_AFSSI_5020", "ERASE Method: US AIR FORCE, AFSSO-5020.\n",
           {0x000, 0x0FF, R, V | REPEAT}),
    Method(ERASE_AR_380_19, "ERASE_AR_380_19", "ERASE Method: US ARMY, AR 380-19.\n", {R, 0x055, 0x0AA, V | 0x0AA}),
    Method(ERASE_NAVSO_P_5239_26, "ERASE_NAVSO_P_5239_26", "ERASE Method: US NAVY, NAVSO P-5239-26.\n",
           {0x055, 0x0AA, R, V | REPEAT}),
    Method(ERASE_DOD_5220_22_M_ECE, "ERASE_DOD_5220_22_M_ECE", "ERASE Method: US DoD, DoD 5220.22-M ECE.\n",
           {0x000, 0x0FF, R, R | 1, COM, COM | 1, R | 2}),
    Method(ERASE_RCMP_TSSIT_OPS_II, "ERASE_RCMP_TSSIT_OPS_II", "ERASE Method: Canada, RCMP TSSIT OPS-II.\n",
           {0x000, 0x0FF, 0x000, 0x0FF, 0x000, 0x0FF, R, V | REPEAT}),
    Method(ERASE_CSEC_ITSG_06, "ERASE_CSEC_ITSG_06", "ERASE Method: Canada, CSEC ITSG-06.\n",
           {0x0FF, 0x000, R, V | REPEAT}),
    Method(ERASE_HMG_IS5, "ERASE_HMG_IS5", "ERASE Method: UK, HGM Infosec Standard 5.\n", {0x000, 0x0FF, R, V | REPEAT}),
    Method(ERASE_ISM_6_2_92, "ERASE_ISM_6_2_92", "ERASE Method: Australia, ISM 6.2.92.\n", {R, V | REPEAT}),
    Method(ERASE_NZSIT_402, "ERASE_NZSIT_402", "ERASE Method: New Zealand, NZSIT 402.\n", {R, V | REPEAT}),
    Method(ERASE_VSITR, "ERASE_VSITR", "ERASE Method: Germany, VSITR.\n",
           {0x000, 0x0FF, 0x000, 0x0FF, 0x000, 0x0FF, R}),
    Method(ERASE_GOST_R_50739_95, "ERASE_GOST_R_50739_95", "ERASE Method: Russia, GOST R 50739-95.\n", {0x000, R}),
    CountDown(ERASE_GUTMANN, "ERASE_GUTMANN", "ERASE Method: Gutmann.\n", 35),
    Method(ERASE_SCHNEIER, "ERASE_SCHNEIER", "ERASE Method: Schneier.\n",
           {0x000, 0x0FF, R, R | 1, R | 2, R | 3, R | 4}),
    CountDown(ERASE_PFITZNER, "ERASE_PFITZNER", "ERASE Method: Pfitzner.\n", 33),
};

static_assert(METHODS[0].nId == ERASE_ZERO, "the fallback is the first entry");

}  // namespace

std::span<const T_ERASE_METHOD> EraseMethods()
{
    return METHODS;
}

bool IsEraseMethod(uint32_t nId)
{
    return std::any_of(std::begin(METHODS), std::end(METHODS), [nId](const T_ERASE_METHOD& m) { return m.nId == nId; });
}

const T_ERASE_METHOD& FindEraseMethod(uint32_t nId)
{
    for (const T_ERASE_METHOD& m : METHODS) {
        if (m.nId == nId) return m;
    }
    return METHODS[0];
}

std::string ErasePassLine(const std::string& strName, uint32_t nPass, uint32_t nPasses, uint32_t nCode)
{
    const char* pWord = IsVerifyPass(nCode) ? "VERIFY" : "WRITE";
    const uint32_t nByte = ErasePassByte(nCode);
    switch (ErasePassKind(nCode)) {
    case ERASE_PASS_FILL: return FormatText("%s - PASS %d/%d, %s 0x%02X.\n", strName, nPass, nPasses, pWord, nByte);
    case ERASE_PASS_COMPLEMENT:
        return FormatText("%s - PASS %d/%d, %s RANDOM-%d(COM).\n", strName, nPass, nPasses, pWord, nByte + 1);
    default: return FormatText("%s - PASS %d/%d, %s RANDOM-%d.\n", strName, nPass, nPasses, pWord, nByte + 1);
    }
}

namespace {

constexpr T_ERASE_DIALOG_ENTRY ENTRIES[ERASE_DIALOG_ENTRY_COUNT] = {
    {1085, "全体に0x00を書き込む", ERASE_ZERO, "全体に0x00を書き込む"},
    {1094, "全体に0x00を書き込む(検証有り)", ERASE_ZERO_VERIFY, "全体に0x00を書き込む(検証有り)\n0x00⇒検証"},
    {1086, "全体に0xFFを書き込む", ERASE_ONE, "全体に0xFFを書き込む"},
    {1095, "全体に0xFFを書き込む(検証有り)", ERASE_ONE_VERIFY, "全体に0xFFを書き込む(検証有り)\n0xFF⇒検証"},
    {1087, "全体に乱数を書き込む", ERASE_RANDOM, "全体に乱数を書き込む"},
    {1096, "全体に乱数を書き込む(検証有り)", ERASE_RANDOM_VERIFY, "全体に乱数を書き込む(検証有り)\n乱数⇒検証"},
    {1088, "全体に0x00⇒0xFF⇒乱数の順にを書き込む", ERASE_ZERO_ONE_RANDOM,
     "全体に0x00⇒0xFF⇒乱数の順に書き込む\n0x00⇒0xFF⇒乱数"},
    {1089, "米国国家安全保障局 NSA/CSS 130-2 準拠", ERASE_NSA_130_2,
     "米国国家安全保障局 NSA/CSS 130-2 準拠\n乱数1⇒乱数2⇒0x00⇒検証"},
    {1090, "米国陸軍 AR 380-19 準拠", ERASE_AR_380_19, "米国陸軍 AR 380-19 準拠\n乱数⇒0x55⇒0xAA⇒検証"},
    {1091, "米国海軍 NAVSO P-5239-26 準拠", ERASE_NAVSO_P_5239_26,
     "米国海軍 NAVSO P5239-26 準拠\n0x55⇒0xAA⇒乱数⇒検証"},
    {1092, "米国空軍 AFSSI-5020 準拠", ERASE_AFSSI_5020, "米国空軍 AFSSI-5020 準拠\n0x00⇒0xFF⇒乱数⇒検証"},
    {1093, "米国国防総省 DoD 5220.22-M 準拠", ERASE_DOD_5220_22_M,
     "米国国防総省 DoD 5220.22-M 準拠\n0x00⇒検証⇒0xFF⇒検証⇒乱数⇒検証"},
    {1097, "米国国防総省 DoD 5220.22-M ECE 準拠", ERASE_DOD_5220_22_M_ECE,
     "国防総省 DoD 5220.22-M ECE 準拠\n0x00⇒0xFF⇒乱数1⇒乱数2⇒乱数1反転⇒乱数2反転⇒乱数3⇒検証"},
    {1098, "王立カナダ騎馬警察 RCMP TSSIT OPS-II 準拠\n", ERASE_RCMP_TSSIT_OPS_II,
     "王立カナダ騎馬警察 RCMP TSSIT OPS-II 準拠\n0x00⇒0xFF⇒0x00⇒0xFF⇒0x00⇒0xFF⇒乱数⇒検証"},
    {1103, "ドイツ VSITR 準拠", ERASE_VSITR, "ドイツ VSITR 準拠\n0x00⇒0xFF⇒0x00⇒0xFF⇒0x00⇒0xFF⇒乱数"},
    {1104, "ロシア GOST R 50739-95 準拠", ERASE_GOST_R_50739_95, "ロシア GOST R 50739-95 準拠\n0x00⇒乱数"},
};

}  // namespace

std::span<const T_ERASE_DIALOG_ENTRY> EraseDialogEntries()
{
    return ENTRIES;
}

uint32_t EraseMethodOfDialogIndex(int nIndex)
{
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= ERASE_DIALOG_ENTRY_COUNT) return ERASE_ZERO;
    return ENTRIES[nIndex].nMethodId;
}
