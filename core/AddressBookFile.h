// Where the address book file comes from on first start.
#pragma once
#include <string>

// Makes sure "IPRecord.dat" exists in the program folder: copies one from `systemFolder`
// when there is one there (0 when the copy cannot then be opened), creates an empty one
// otherwise. Answers 1 in every other case.
int EnsureAddressBookFile(const std::string& programFolder, const std::string& systemFolder);
