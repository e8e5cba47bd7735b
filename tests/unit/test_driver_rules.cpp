// The rules that depend on the driver's strings: the mipmap vendor rule and
// the choice of anisotropic filtering.
#include <gtest/gtest.h>

#include "util/texture/texture.h"

namespace {

TEST(VendorRule, OnlyAtiItselfBuildsMipmapsOnUpload) {
  EXPECT_TRUE(vendorIsAti("ATI Technologies Inc."));
  EXPECT_TRUE(vendorIsAti("ati"));
  EXPECT_TRUE(vendorIsAti("Mesa (ATI)"));
  // "Corporation" holds the three letters: a substring test took NVIDIA for ATI.
  EXPECT_FALSE(vendorIsAti("NVIDIA Corporation"));
  EXPECT_FALSE(vendorIsAti("Intel Corporation"));
  EXPECT_FALSE(vendorIsAti("Advanced Micro Devices, Inc."));
  EXPECT_FALSE(vendorIsAti("Intel"));
  EXPECT_FALSE(vendorIsAti("Mesa/X.org"));
  EXPECT_FALSE(vendorIsAti("Ratio"));
  EXPECT_FALSE(vendorIsAti(""));
  EXPECT_FALSE(vendorIsAti(nullptr));
}

TEST(Anisotropy, SoftwareRenderersAreKnownByName) {
  EXPECT_TRUE(isSoftwareRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
  EXPECT_TRUE(isSoftwareRenderer("softpipe"));
  EXPECT_TRUE(isSoftwareRenderer("Mesa DRI swrast"));
  EXPECT_TRUE(isSoftwareRenderer("Software Rasterizer"));
  EXPECT_FALSE(isSoftwareRenderer("NVIDIA GeForce RTX 3060/PCIe/SSE2"));
  EXPECT_FALSE(isSoftwareRenderer("AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6)"));
  EXPECT_FALSE(isSoftwareRenderer("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"));
  EXPECT_FALSE(isSoftwareRenderer(nullptr));
}

TEST(Anisotropy, DriverMaximumOnHardwareOneOnSoftwareUnlessChosen) {
  EXPECT_EQ(chooseAnisotropy("NVIDIA GeForce RTX 3060/PCIe/SSE2", 16.0f, 0), 16.0f);
  EXPECT_EQ(chooseAnisotropy("llvmpipe (LLVM 15.0.6, 256 bits)", 16.0f, 0), 1.0f);
  EXPECT_EQ(chooseAnisotropy("llvmpipe (LLVM 15.0.6, 256 bits)", 16.0f, 8), 8.0f);
  EXPECT_EQ(chooseAnisotropy("NVIDIA GeForce RTX 3060/PCIe/SSE2", 16.0f, 2), 2.0f);
  // A choice above what the driver can do gets its maximum; a driver that
  // reports less than 1 still filters with 1.
  EXPECT_EQ(chooseAnisotropy("NVIDIA GeForce RTX 3060/PCIe/SSE2", 16.0f, 64), 16.0f);
  EXPECT_EQ(chooseAnisotropy("odd driver", 0.0f, 0), 1.0f);
}

}  // namespace
