// The resolution and layout mode of the main window.
#pragma once

class CResolutionMode {
 public:
  CResolutionMode() = default;
  ~CResolutionMode() = default;
};
