// The typed-number edits of the pages (maximum users, web port, FTP port, maximum log list, the
// camera's picture values, the detection editor's levels, the alarm trigger's hour and minute):
// the operator's text is kept to its digits and read as a number with a bound on its length, so
// a long run of digits never overflows. What a page does with the number (its range, its message, rewriting the edit) stays
// with the page.
#pragma once
#include <QLineEdit>
#include <cstddef>
#include <string>

#include "core/Model.h"

namespace digitedit {

// The digits of the edit's text. False when the edit is empty (nothing was typed to check);
// true with empty `digits` when the text held no digit.
inline bool Typed(const QLineEdit* edit, std::string& digits) {
  if (!edit) return false;
  digits = edit->text().toStdString();
  if (digits.empty()) return false;
  FilterDigits(digits);
  return true;
}

// The digits without their leading zeros ("0" when they are all zeros).
inline std::string WithoutLeadingZeros(const std::string& digits) {
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? std::string("0") : digits.substr(first);
}

// The value of non-empty `digits`, or `above` when there are more than `maxDigits` of them
// (the caller's bound is below any such number).
inline unsigned long Value(const std::string& digits, std::size_t maxDigits, unsigned long above) {
  return digits.size() > maxDigits ? above : std::stoul(digits);
}

}  // namespace digitedit
