// Base fixture for tests that need GL: one headless 1024 x 768 context per
// test process, the window's framebuffer format. Pixels are read back and
// asserted on with tolerances (llvmpipe is the reference renderer).
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "core/gl.h"
#include "shell/headless.h"

class GlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;  // skips the test when no context can be made
};

// RGBA bytes of one pixel of the current read buffer.
std::array<uint8_t, 4> ReadPixel(int x, int y);

// Saves the lower-left w x h of the framebuffer under build/test-output/NAME.png
// and returns the path, so a person can look at what a test drew.
std::string SaveFramePng(const std::string& name, int width, int height);
