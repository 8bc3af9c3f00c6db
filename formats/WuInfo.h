// WUInfo.csv: the whole store as one comma-separated table, every field in a column.
#pragma once

#include <string>

#include "record/Batches.h"
#include "record/WorkUnitList.h"

// Rewrites the file safely (temporary file renamed over the target); CR LF line ends. Texts
// are written without the bytes that would not read back as one cell (double quote, NUL,
// byte 26).
// False on any failure, and the old file then keeps its bytes.
bool writeWuInfo(const WorkUnitList& store, const std::string& path);
// Adds every row to the store (merging by name); header lines set store.columns.
// False when the file cannot be opened, or a read fails partway (the rows before it are
// in the store then).
bool readWuInfo(WorkUnitList& store, const std::string& path);
// The file's bytes as writeWuInfo writes them, made in one piece.
std::string wuInfoBytes(const WorkUnitList& store);
// The same bytes made as writeWuInfo makes them: in batches of `batch` bytes on two threads.
std::string wuInfoBytes(const WorkUnitList& store, BatchSize batch);
// readWuInfo on a file's bytes held in memory, a row at a time.
void readWuInfoBytes(WorkUnitList& store, std::string bytes);
// The same, read as readWuInfo reads a file: in batches of `batch` bytes on two threads.
void readWuInfoBytes(WorkUnitList& store, std::string bytes, BatchSize batch);
