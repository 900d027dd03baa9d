#pragma once
#include <cstdint>

// What became of the last load of an update image. The engine skips the
// stage of an absent image and reports the stage of a damaged one as failed;
// a damaged image holds nothing, so no part of it can reach the device.
enum class ELoadState {
    Absent,  // never loaded, emptied, or the file could not be opened
    Loaded,  // the whole file was read and is in the image (possibly empty)
    Damaged, // the file was opened but could not be read whole and intact
};

// Where the last load found the file damaged, as its trace line says it, so
// that the user can be told more than "damaged".
struct CLoadFault {
    enum class EWhere {
        None,   // not damaged
        Line,   // uWhere is the line, from 1 (the firmware's HEX text)
        Offset, // uWhere is the byte offset at which reading failed
        Size,   // the file is larger than any update file; uWhere is its size
    };
    EWhere eWhere = EWhere::None;
    std::uint64_t uWhere = 0;
    const wchar_t* wzWhy = L""; // a static text, as the trace has it
};
