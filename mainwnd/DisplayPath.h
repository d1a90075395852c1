// The steps of the live display that do not need a window: line doubling, full-screen
// scaling, putting a 24-bit bottom-up picture onto a 32-bit surface, and the statistics line.
// The main window runs them on the mailbox worker; the benchmark and the tests call them alone.
#pragma once
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <string>

// Pictures at least this wide are line-doubled (except on K47R devices).
constexpr int kDoubleMinWidth = 640;
// The memory bitmap the windowed picture goes through.
constexpr int kDisplayWidth = 720;
constexpr int kDisplayHeight = 576;
// Statistics are refreshed at most this often.
constexpr std::uint32_t kStatIntervalMs = 2000;

// Doubles the rows of a w x h picture (24-bit, rows of 3w bytes) into dst with linear
// interpolation. False (dst untouched) when the doubled picture does not fit `capacity` bytes
// or the size is not usable.
bool DoubleLines(const std::uint8_t* src, int w, int h, std::uint8_t* dst, std::size_t capacity);

// Row step of the full-screen picture: 3 bytes a pixel, padded to a multiple of 4 bytes, the
// same for the scaling and for the drawing.
constexpr int ScreenRowStep(int width) { return (width * 3 + 3) & ~3; }
constexpr std::size_t ScreenBufferSize(int width, int height) {
  return static_cast<std::size_t>(ScreenRowStep(width)) * static_cast<std::size_t>(height);
}

// Scales a w x h picture (rows of 3w bytes) to sw x sh with nearest neighbour (the aspect
// ratio is not kept) into dst with rows of ScreenRowStep(sw). False when it does not fit.
bool ScaleToScreen(const std::uint8_t* src, int w, int h, std::uint8_t* dst, std::size_t capacity, int sw, int sh);

// The full-screen picture drawn straight onto a 32-bit image of sw x sh: the same pixels as
// ScaleToScreen followed by PutBgrBottomUp of the screen picture, without the 24-bit screen
// picture in between (each source row is converted once, repeated rows are copied). Rows or
// columns the scaling would leave unwritten are black. False (image untouched) when the
// arguments are not usable or the image is not a 32-bit image of sw x sh.
bool ScaleToSurface(const std::uint8_t* src, int w, int h, QImage& image, int sw, int sh);

// Writes a 24-bit bottom-up BGR picture (rows `step` bytes apart) at its own size onto a
// 32-bit image with its top-left at (dx, dy); what falls outside the image is cut off.
void PutBgrBottomUp(QImage& image, int dx, int dy, const std::uint8_t* src, int w, int h, int step);

// The figures of one statistics update.
struct StatFigures {
  float frameRate = 0.0f;
  std::uint32_t kbps = 0;
};
// `frames` pictures and `bytes` bytes in `elapsedMs` (greater than 0).
StatFigures ComputeStatFigures(std::uint32_t frames, std::uint32_t bytes, std::uint32_t elapsedMs);
std::string FrameRateText(float frameRate);   // "FR:%.2f fps "
std::string DataRateText(std::uint32_t kbps);  // "DR:%lu kbps "
// The 1-based number of the lowest set bit of an alarm word ("" for 0).
std::string AlarmChannelText(std::uint16_t alarmWord);
