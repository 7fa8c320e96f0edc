#include "ui/result_rows.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

namespace {

// Room for at least `needed` items of `size` bytes, the room doubling, so
// that a row costs the same whether it is the tenth or the millionth.
bool Reserve(void** block, size_t* room, size_t needed, size_t size, size_t first) {
    if (needed <= *room) return true;
    size_t grown = *room == 0 ? first : *room;
    while (grown < needed) {
        if (grown > SIZE_MAX / 2 / size) return false;
        grown *= 2;
    }
    void* moved = realloc(*block, grown * size);
    if (moved == nullptr) return false;
    *block = moved;
    *room = grown;
    return true;
}

}  // namespace

bool AddResultRows(ResultRows& rows, const char* paths, size_t count) {
    if (count == 0) return true;
    size_t bytes = 0;
    for (size_t i = 0; i < count; ++i) bytes += strlen(paths + bytes) + 1;
    if (bytes > SIZE_MAX - rows.textUsed || count > SIZE_MAX - rows.count) return false;
    void* text = rows.text;
    void* slots = rows.rows;
    const bool room = Reserve(&text, &rows.textSize, rows.textUsed + bytes, 1, 64 << 10) &&
                      Reserve(&slots, &rows.slots, rows.count + count, sizeof(ResultRow), 1024);
    rows.text = static_cast<char*>(text);
    rows.rows = static_cast<ResultRow*>(slots);
    if (!room) return false;
    memcpy(rows.text + rows.textUsed, paths, bytes);
    for (size_t i = 0; i < count; ++i) {
        rows.rows[rows.count++] = {rows.textUsed, nullptr};
        rows.textUsed += strlen(rows.text + rows.textUsed) + 1;
    }
    return true;
}

const char* ResultRowPath(const ResultRows& rows, size_t row) {
    return row < rows.count ? rows.text + rows.rows[row].path : "";
}

const RowCells* ResultRowCells(const ResultRows& rows, size_t row) {
    return row < rows.count ? rows.rows[row].cells : nullptr;
}

void SetResultRowCells(ResultRows& rows, size_t row, RowCells* cells) {
    if (row >= rows.count) {
        free(cells);
        return;
    }
    free(rows.rows[row].cells);
    rows.rows[row].cells = cells;
}

void ClearResultRows(ResultRows& rows) {
    for (size_t row = 0; row < rows.count; ++row) free(rows.rows[row].cells);
    free(rows.text);
    free(rows.rows);
    rows = ResultRows();
}
