#pragma once

// What the listing gave for a file: when either differs, it may have changed.
struct FileStamp {
    unsigned long long size;
    unsigned long long writeTime;  // as the platform counts it
};
