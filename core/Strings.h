// The string table: every operator-visible text that the program shows by its id.
// Two-state captions keep both halves in one entry, split at "$" (SplitResourceString).
#pragma once
#include <cstddef>
#include "core/StringIds.h"
#include "platform/messages.h"
#include "platform/types.h"

// The text of a string id; "" for an unknown id. The pointer stays valid for the run.
const char* LoadStr(unsigned id);

// Shows the string in a message box (through plat::MessageBox) and answers the button
// pressed. An unknown id shows an empty text.
int MessageBoxById(plat::HWND owner, unsigned id, unsigned type = plat::MB_OK);

// Number of entries and the i-th entry (tests and tools walk the table).
std::size_t StringTableSize();
bool StringTableEntry(std::size_t index, unsigned& id, const char*& text);
