#pragma once
// The sixteen erase methods the erase-method dialog offers, as one group of
// radio buttons: in group order (the radio index the dialog returns), each
// with its control id, its button text, the method id it stands for and
// the description shown while it has the focus. Any other radio index
// stands for method 1.
#include <cstddef>
#include <cstdint>
#include <span>

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
