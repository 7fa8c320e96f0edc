#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "core/search_engine.h"

// What a search reported, gathered from the engine's threads.
struct SearchRecord {
    std::mutex lock;
    std::vector<std::string> visited, rows;
    std::vector<unsigned> tones;
    int finished = 0;
    bool stopped = false;
    int refusals = 0;  // posts of rows or of the end still to refuse, as a full queue does
    int late = 0;      // events after `finished`
};

SearchEvents RecordingEvents(SearchRecord* record);
