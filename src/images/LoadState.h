#pragma once

// What became of the last load of an update image. The engine skips the
// stage of an absent image and reports the stage of a damaged one as failed;
// a damaged image holds nothing, so no part of it can reach the device.
enum class ELoadState {
    Absent,  // never loaded, emptied, or the file could not be opened
    Loaded,  // the whole file was read and is in the image (possibly empty)
    Damaged, // the file was opened but could not be read whole and intact
};
