#include "engine/erase/erase_dialog_entries.h"

#include "engine/erase/erase_methods.h"

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
