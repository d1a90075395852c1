#include <QApplication>
#include <gtest/gtest.h>

#include "platform/files.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // The skin pictures lie beside the built program.
  plat::SetProgramFolder(TRELVIX_TEST_BIN_DIR);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
