// Searches in text and byte buffers, and the folder part of a path.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The folder of a path without its trailing separator (the path is taken to 255
// characters; the cut is at the last '\' or '/' after the first character). Answers 1.
int GetParentFolder(const std::string& path, std::string& folder);
// Finds `key` in `text` and copies what follows it, up to the stop character, into out
// (at least one character, at most outSize - 1, zero-terminated). Answers the stop
// character's position in text, or -1 when the key is absent (or the stop is missing).
int ExtractKeyText(const char* text, const char* key, char stop, char* out, std::size_t outSize);
// Makes "online-user-num" findable in a reply whose first zero byte comes too early: every
// byte that does not continue the key is replaced by '0' until its 15 characters have been
// matched. Answers whether the key was completed.
bool RepairOnlineUserKey(char* buffer, std::size_t size);
// The position of the first 0xFF byte (size when there is none).
std::size_t FindFirstFF(const std::uint8_t* data, std::size_t size);
// The first position below size - patternSize where the pattern occurs; 0 when it does not
// or the buffer is shorter than the pattern.
std::size_t FindPattern(const std::uint8_t* data, std::size_t size, const std::uint8_t* pattern,
                        std::size_t patternSize);
