// The GUI tests run with the application object alive, as the program does.
#include <gtest/gtest.h>

#include "ui/application.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  vantaro::ui::Application application;
  if (!application.imagesReady()) return 2;
  return RUN_ALL_TESTS();
}
