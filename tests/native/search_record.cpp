#include "search_record.h"

#include <string.h>

namespace {

SearchRecord& Of(void* context) { return *static_cast<SearchRecord*>(context); }

// Under the record's lock.
bool Refuses(SearchRecord& record) {
    if (record.refusals == 0) return false;
    --record.refusals;
    return true;
}

void Visiting(void* context, const char* path) {
    std::lock_guard<std::mutex> held(Of(context).lock);
    Of(context).late += Of(context).finished;
    Of(context).visited.push_back(path);
}

bool Rows(void* context, RowBatch* batch) {
    {
        std::lock_guard<std::mutex> held(Of(context).lock);
        Of(context).late += Of(context).finished;
        if (Refuses(Of(context))) return false;
        const char* row = batch->paths.data();
        for (size_t i = 0; i < batch->count; ++i, row += strlen(row) + 1) Of(context).rows.push_back(row);
    }
    FreeRowBatch(batch);
    return true;
}

void Tone(void* context, unsigned hertz) {
    std::lock_guard<std::mutex> held(Of(context).lock);
    Of(context).late += Of(context).finished;
    Of(context).tones.push_back(hertz);
}

bool Finished(void* context, bool stopped) {
    std::lock_guard<std::mutex> held(Of(context).lock);
    if (Refuses(Of(context))) return false;
    ++Of(context).finished;
    Of(context).stopped = stopped;
    return true;
}

}  // namespace

SearchEvents RecordingEvents(SearchRecord* record) { return {record, Visiting, Rows, Tone, Finished, false}; }
