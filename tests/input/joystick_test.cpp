// Joysticks through SDL's virtual joystick: the same path a real pad takes, no device.

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <string>

#include "input/input.h"
#include "input/system.h"

namespace {

constexpr const char* kPadName = "Test Pad";

class JoystickTest : public ::testing::Test {
 protected:
  SDL_Joystick* pad = nullptr;  // our own handle, to set the virtual values
  int32_t port = -1;

  static void SetUpTestSuite() { SDL_setenv("SDL_VIDEODRIVER", "dummy", 0); }

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
    pad = PlugIn(desc);
    ASSERT_NE(pad, nullptr);
    port = PortNamed(kPadName);
    ASSERT_GE(port, 0);
  }

  void Detach() { Unplug(pad); }

  // Attaches a virtual pad and opens our own handle on it; null on failure.
  static SDL_Joystick* PlugIn(const SDL_VirtualJoystickDesc& desc) {
    int index = SDL_JoystickAttachVirtualEx(&desc);
    EXPECT_GE(index, 0) << SDL_GetError();
    if (index < 0) return nullptr;
    SDL_Joystick* handle = SDL_JoystickOpen(index);
    EXPECT_NE(handle, nullptr) << SDL_GetError();
    return handle;
  }

  // Detaches a virtual pad and lets the pump see it go.
  static void Unplug(SDL_Joystick*& handle) {
    if (handle == nullptr) return;
    SDL_JoystickID id = SDL_JoystickInstanceID(handle);
    SDL_JoystickClose(handle);
    handle = nullptr;
    for (int index = 0; index < SDL_NumJoysticks(); ++index) {
      if (SDL_JoystickGetDeviceInstanceID(index) == id) SDL_JoystickDetachVirtual(index);
    }
    PumpEvents();
  }

  // The port of the named pad after rebuilding the table, or -1.
  static int32_t PortNamed(const std::string& name) {
    int32_t count = JoystickCount();
    for (int32_t candidate = 0; candidate < count; ++candidate) {
      if (JoystickName(candidate) == name) return candidate;
    }
    return -1;
  }

  void SetButton(int button, bool down) { SDL_JoystickSetVirtualButton(pad, button, down); }
};

TEST_F(JoystickTest, FullDeflectionReadsExactlyOne) {
  SDL_JoystickSetVirtualAxis(pad, 0, 32767);
  SDL_JoystickSetVirtualAxis(pad, 1, -32768);
  EXPECT_EQ(JoyAxisX(port), 1.0f);
  EXPECT_EQ(JoyAxisY(port), -1.0f);
  // A pad with a symmetric range (a browser's) ends at -32767: the game steers at -1 only.
  SDL_JoystickSetVirtualAxis(pad, 1, -32767);
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

// Pads plugged in or pulled out shift the ports behind them. What a port remembers belongs
// to the pad that was on it: the pad now there must not inherit its presses or held buttons.
class ReplugTest : public JoystickTest {
 protected:
  SDL_Joystick* pad_b = nullptr;
  SDL_Joystick* pad_c = nullptr;

  static SDL_Joystick* PlugInSmallPad(const char* name) {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.naxes = 2;
    desc.nbuttons = 4;
    desc.name = name;
    SDL_Joystick* handle = PlugIn(desc);
    PumpEvents();
    return handle;
  }

  void TearDown() override {
    SetFirstJoystick(-1);
    Unplug(pad_c);
    Unplug(pad_b);
    JoystickTest::TearDown();
  }
};

TEST_F(ReplugTest, PadMovedToAnotherPortBringsNoFalseHitsAndLeavesNoneBehind) {
  pad_b = PlugInSmallPad("Pad B");
  int32_t port_b = PortNamed("Pad B");
  ASSERT_EQ(port_b, port + 1);

  SDL_JoystickSetVirtualButton(pad_b, 0, 1);
  EXPECT_EQ(JoyButtonIsDown(0, port_b), 1);  // counted, not yet read
  pad_c = PlugInSmallPad("Pad C");           // lands behind B: B's port is unchanged
  EXPECT_EQ(JoyButtonHits(0, port_b), 1) << "a port whose pad stayed keeps its presses";

  // The first pad leaves a press not yet read and a deflected axis on its port.
  SetButton(3, true);
  SDL_JoystickSetVirtualAxis(pad, 5, 32767);
  EXPECT_EQ(JoyButtonIsDown(3, port), 1);
  EXPECT_EQ(JoyAxisV(port), 1.0f);
  Detach();
  ASSERT_EQ(JoystickName(port), "Pad B");

  EXPECT_EQ(JoyButtonIsDown(0, port), 1);
  EXPECT_EQ(JoyButtonHits(0, port), 0) << "a held button is no new press on its new port";
  EXPECT_EQ(JoyButtonHits(3, port), 0) << "the press belonged to the pad that left";
  EXPECT_EQ(JoyAxisV(port), 0.0f) << "an axis the pad lacks reads centred";
  SDL_JoystickSetVirtualButton(pad_b, 0, 0);
  EXPECT_EQ(JoyButtonIsDown(0, port), 0);
  SDL_JoystickSetVirtualButton(pad_b, 0, 1);
  EXPECT_EQ(JoyButtonHits(0, port), 1);

  // C moved onto B's old port, where B's button was down.
  ASSERT_EQ(JoystickName(port_b), "Pad C");
  SDL_JoystickSetVirtualButton(pad_c, 0, 1);
  EXPECT_EQ(JoyButtonHits(0, port_b), 1) << "a press on the pad that moved in was missed";
}

TEST_F(ReplugTest, PadPluggedIntoAFreedPortCountsItsFirstPress) {
  SetButton(1, true);
  EXPECT_EQ(JoyButtonHits(1, port), 1);
  int32_t freed_port = port;
  Detach();
  EXPECT_EQ(JoyButtonIsDown(1, freed_port), 1) << "an empty port keeps the last values";

  pad_b = PlugInSmallPad("Pad B");
  ASSERT_EQ(PortNamed("Pad B"), freed_port);
  SDL_JoystickSetVirtualButton(pad_b, 1, 1);  // pressed before the new pad's port is read
  EXPECT_EQ(JoyButtonHits(1, freed_port), 1);
}

// The page's touch controls are a virtual pad, which SDL lists after every pad of the
// system; while they are played they are put on port 0, the port the game reads.
TEST_F(ReplugTest, PadPutFirstTakesPortZeroWhileAttached) {
  pad_b = PlugInSmallPad("Pad B");
  ASSERT_EQ(PortNamed("Pad B"), port + 1);
  SDL_JoystickSetVirtualButton(pad_b, 0, 1);
  EXPECT_EQ(JoyButtonHits(0, port + 1), 1);

  SetFirstJoystick(SDL_JoystickInstanceID(pad_b));
  EXPECT_EQ(JoystickName(0), "Pad B");
  EXPECT_EQ(PortNamed(kPadName), port + 1) << "the others follow in SDL's order";
  EXPECT_EQ(JoyButtonHits(0, 0), 0) << "a button held as the pad moved is no new press";
  pad_c = PlugInSmallPad("Pad C");
  EXPECT_EQ(JoystickName(0), "Pad B") << "a pad plugged in later goes behind it";
  SDL_JoystickSetVirtualAxis(pad_b, 0, -32768);
  EXPECT_EQ(JoyAxisX(0), -1.0f);

  Unplug(pad_b);
  EXPECT_EQ(PortNamed(kPadName), port) << "once it is gone, SDL's order again";
  SetFirstJoystick(-1);
  EXPECT_EQ(PortNamed(kPadName), port);
  EXPECT_EQ(PortNamed("Pad C"), port + 1);
}

}  // namespace
