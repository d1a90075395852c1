// The disc writer. Writing backups to disc comes with the disc-writing library; until then
// the object only exists so the application record can hold it.
#pragma once
#include <string>
#include "platform/types.h"

class CWriteCD {
 public:
  CWriteCD() = default;
  ~CWriteCD() = default;
  CWriteCD(const CWriteCD&) = delete;
  CWriteCD& operator=(const CWriteCD&) = delete;

  // No disc writing is available yet: always 0.
  plat::BOOL IsAvailable() const { return 0; }

  std::string m_strSourceFile;  // the file picked for the disc
};
