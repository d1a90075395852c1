// The two forms of an alarm mail recipient: the bare address the mail page lists and edits,
// and the stored form "name <address>" (name: the part before the at sign) of the recorder's
// SMTP section. Free of any window code, so the recorder's bytes can be fuzzed through it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The longest stored recipient a recipient entry holds (48 bytes with room for no terminator
// of its own, the rest being zero).
constexpr std::size_t kMailToStoredLimit = 47;

// Direction 0: bare address to the stored form ("name <address>", or "<address>" when the
// address has no at sign or begins with it). Direction 1: stored form to the address between
// the first "<" and the last ">"; a text without "<" before a ">" stays as it is. The name and
// the extracted address hold at most 49 characters each. Any other direction changes
// nothing. Returns 1.
int ConvertMailAddressText(std::string& text, int direction);

// The recipients of an SMTP section (440 bytes) as the page lists them: every non-empty entry
// in order (also one behind an empty entry), converted to the bare address.
std::vector<std::string> ReadMailRecipients(const std::uint8_t* smtp);
