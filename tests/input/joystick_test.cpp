// Joysticks through SDL's virtual joystick: the same path a real pad takes, no device.

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>

#include "input/input.h"
#include "input/system.h"

namespace {

constexpr const char* kPadName = "Test Pad";

class JoystickTest : public ::testing::Test {
 protected:
  int device_index = -1;
  SDL_Joystick* pad = nullptr;  // our own handle, to set the virtual values
  int32_t port = -1;

  static void SetUpTestSuite() { setenv("SDL_VIDEODRIVER", "dummy", 0); }

  void SetUp() override {
    SetSystemDriver(nullptr);
    ASSERT_NE(SystemDriver(), nullptr);
    ASSERT_NE(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
    Attach();
  }

  void TearDown() override { Detach(); }

  void Attach() {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = 6;
    desc.nbuttons = 20;
    desc.nhats = 1;
    desc.name = kPadName;
    device_index = SDL_JoystickAttachVirtualEx(&desc);
    ASSERT_GE(device_index, 0) << SDL_GetError();
    pad = SDL_JoystickOpen(device_index);
    ASSERT_NE(pad, nullptr) << SDL_GetError();
    int32_t count = JoystickCount();
    for (int32_t candidate = 0; candidate < count; ++candidate) {
      if (JoystickName(candidate) == kPadName) port = candidate;
    }
    ASSERT_GE(port, 0);
  }

  void Detach() {
    if (pad == nullptr) return;
    SDL_JoystickID id = SDL_JoystickInstanceID(pad);
    SDL_JoystickClose(pad);
    pad = nullptr;
    for (int index = 0; index < SDL_NumJoysticks(); ++index) {
      if (SDL_JoystickGetDeviceInstanceID(index) == id) SDL_JoystickDetachVirtual(index);
    }
    PumpEvents();
  }

  void SetButton(int button, bool down) { SDL_JoystickSetVirtualButton(pad, button, down); }
};

TEST_F(JoystickTest, FullDeflectionReadsExactlyOne) {
  SDL_JoystickSetVirtualAxis(pad, 0, 32767);
  SDL_JoystickSetVirtualAxis(pad, 1, -32768);
  EXPECT_EQ(JoyAxisX(port), 1.0f);
  EXPECT_EQ(JoyAxisY(port), -1.0f);
  SDL_JoystickSetVirtualAxis(pad, 0, 0);
  EXPECT_NEAR(JoyAxisX(port), 0.0f, 0.0001f);
  SDL_JoystickSetVirtualAxis(pad, 5, 16384);
  EXPECT_NEAR(JoyAxisV(port), 0.5f, 0.0001f);
  EXPECT_EQ(JoyAxisYaw(port), 0.0f);
  EXPECT_EQ(JoyAxisWheel(port), 0.0f);
}

TEST_F(JoystickTest, HatReadsAsAFractionOfATurnOrMinusOneCentred) {
  SDL_JoystickSetVirtualHat(pad, 0, SDL_HAT_RIGHT);
  EXPECT_FLOAT_EQ(JoyHatAngle(port), 0.25f);
  SDL_JoystickSetVirtualHat(pad, 0, SDL_HAT_LEFTUP);
  EXPECT_FLOAT_EQ(JoyHatAngle(port), 0.875f);
  SDL_JoystickSetVirtualHat(pad, 0, SDL_HAT_CENTERED);
  EXPECT_EQ(JoyHatAngle(port), -1.0f);
}

TEST_F(JoystickTest, ButtonHitsCountRisingEdgesOfTheFirstSixteen) {
  SetButton(0, true);
  EXPECT_EQ(JoyButtonIsDown(0, port), 1);
  EXPECT_EQ(JoyButtonHits(0, port), 1);
  EXPECT_EQ(JoyButtonHits(0, port), 0) << "held is one press";
  SetButton(0, false);
  EXPECT_EQ(JoyButtonIsDown(0, port), 0);
  SetButton(0, true);
  EXPECT_EQ(JoyButtonHits(0, port), 1);

  SetButton(15, true);
  SetButton(16, true);
  EXPECT_EQ(JoyButtonIsDown(16, port), 1);
  EXPECT_EQ(JoyButtonHits(15, port), 1);
  EXPECT_EQ(JoyButtonHits(16, port), 0);
}

TEST_F(JoystickTest, CapsDescribeButtonsAxesAndHat) {
  EXPECT_EQ(JoystickButtonCaps(port), (1 << 20) - 1);
  EXPECT_EQ(JoystickAxisCaps(port), 63 + 512);
}

TEST_F(JoystickTest, PortsOutsideTheTablesReadAsNothingAttached) {
  for (int32_t bad_port : {-1, 16, 255, 100000}) {
    EXPECT_EQ(JoyAxisX(bad_port), 0.0f);
    EXPECT_EQ(JoyHatAngle(bad_port), 0.0f);
    EXPECT_EQ(JoyButtonHits(0, bad_port), 0);
    EXPECT_EQ(JoyButtonIsDown(2, bad_port), 0);
    EXPECT_EQ(JoystickName(bad_port), "");
    EXPECT_EQ(JoystickButtonCaps(bad_port), 0);
  }
  EXPECT_EQ(JoyButtonHits(-1, port), 0);
  EXPECT_EQ(JoyButtonIsDown(40, port), 0);
}

TEST_F(JoystickTest, UnpluggedPadKeepsItsLastValues) {
  SDL_JoystickSetVirtualAxis(pad, 0, 32767);
  SetButton(2, true);
  EXPECT_EQ(JoyAxisX(port), 1.0f);
  EXPECT_EQ(JoyButtonHits(2, port), 1);
  int32_t unplugged_port = port;
  Detach();
  EXPECT_EQ(JoyAxisX(unplugged_port), 1.0f);
  EXPECT_EQ(JoyButtonIsDown(2, unplugged_port), 1);
  EXPECT_EQ(JoyButtonHits(2, unplugged_port), 0);
  EXPECT_EQ(JoystickName(unplugged_port), "");
}

TEST_F(JoystickTest, PadPluggedInLaterAppearsAfterAPump) {
  Detach();
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.naxes = 2;
  desc.nbuttons = 3;
  desc.name = "Late Pad";
  int index = SDL_JoystickAttachVirtualEx(&desc);
  ASSERT_GE(index, 0);
  pad = SDL_JoystickOpen(index);
  PumpEvents();  // the device-added event rebuilds the port table
  bool found = false;
  for (int32_t candidate = 0; candidate < 16; ++candidate) {
    if (JoystickName(candidate) == "Late Pad") {
      found = true;
      SDL_JoystickSetVirtualAxis(pad, 1, -32768);
      EXPECT_EQ(JoyAxisY(candidate), -1.0f);
    }
  }
  EXPECT_TRUE(found);
}

}  // namespace
